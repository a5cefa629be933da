#pragma once

#include "CliText.h"
#include "VerifiedSet.h"

#include <string>

class QCommandLineParser;

namespace vrel {
class KvVRELClient;
}

namespace vrel::cli {

// What set and apply share: --force, --no-verify and --json.
void AddSetOptions(QCommandLineParser& parser);
// The Set time-out of --timeout, and --no-verify.
VerifiedSet::Options SetOptionsFrom(const QCommandLineParser& parser);
// Sets and checks one device, running the event loop until the verdict, with "<what>..." on a
// terminal. Throws the failure to send the first Set.
SetOutcome SetAndVerify(KvVRELClient& client, const VerifiedSet::Target& target,
                        const VerifiedSet::Options& options, const std::string& what);
// One journal line for a Set that was sent; a journal that cannot be written is a warning on
// stderr, never the failure of the Set. before is the device as it was listed, where known.
void RecordSet(const Device& before, const VerifiedSet::Target& target, const SetOutcome& outcome);
// The outcome of one Set as a JSON object: the target, the verdict, the last Set's result.
JsonFields OutcomeJson(const VerifiedSet::Target& target, const SetOutcome& outcome);

} // namespace vrel::cli
