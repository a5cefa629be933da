#include "SetSupport.h"

#include "CliSession.h"
#include "Journal.h"
#include "Messages.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <iostream>

namespace vrel::cli {

void AddSetOptions(QCommandLineParser& parser) {
    parser.addOption({"force", "Send an address the device could not be reached at (network or "
                               "broadcast address of its subnet, loopback, multicast, /31, ...)."});
    parser.addOption({"no-verify",
                      "One Set exchange only: no repeat after a time-out, the device is not "
                      "asked for its address afterwards."});
    parser.addOption({"json", "Print the outcome as JSON."});
}

VerifiedSet::Options SetOptionsFrom(const QCommandLineParser& parser) {
    VerifiedSet::Options options;
    options.setTimeout = TimeoutFrom(parser);
    options.verify = !parser.isSet("no-verify");
    return options;
}

SetOutcome SetAndVerify(KvVRELClient& client, const VerifiedSet::Target& target,
                        const VerifiedSet::Options& options, const std::string& what) {
    QEventLoop loop;
    VerifiedSet set(client, target, options, [&](const SetOutcome&) { loop.quit(); });
    set.Start();
    if (!set.Done()) {
        ProgressLine progress([&] {
            const int tries = set.Outcome().attempts;
            return what + "..." + (tries > 1 ? " try " + std::to_string(tries) : "");
        });
        loop.exec();
    }
    return set.Outcome();
}

void RecordSet(const Device& before, const VerifiedSet::Target& target, const SetOutcome& outcome) {
    if (outcome.attempts == 0)
        return; // nothing reached the network
    JournalEntry entry = JournalEntryForSet(before, target, outcome);
    if (entry.interfaceName.empty())
        entry.interfaceName = outcome.setInterfaceName;
    if (const auto warning = AppendToJournal(entry))
        std::cerr << "vrel: warning: " << *warning << "\n";
}

JsonFields OutcomeJson(const VerifiedSet::Target& target, const SetOutcome& outcome) {
    JsonFields fields{
        {"macAddress", QString::fromStdString(target.mac)},
        {"ipAddress", QString::fromStdString(target.ip)},
        {"netmask", QString::fromStdString(target.netmask)},
        {"verdict", VerdictName(outcome.verdict)},
        {"setResult", QString::fromLatin1(MessageForCode(outcome.setCode))},
        {"attempts", outcome.attempts},
    };
    if (!outcome.seenIp.empty()) {
        fields.emplace_back("answeredIpAddress", QString::fromLatin1(outcome.seenIp));
        fields.emplace_back("answeredNetmask", QString::fromLatin1(outcome.seenNetmask));
    }
    return fields;
}

} // namespace vrel::cli
