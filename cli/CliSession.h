#pragma once

#include "CliText.h"
#include "VerifiedSet.h"

#include <QHostAddress>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <stdexcept>

class QCommandLineParser;

namespace vrel {
class KvVRELClient;
}

namespace vrel::cli {

enum ExitCode {
    kExitOk = 0,
    kExitDeviceFailure = 1, // the device refused, or did not answer in time
    kExitBadInput = 2,      // refused before anything was sent
    kExitSocketError = 3,
};

// A refusal of the command line: ends the command with kExitBadInput.
using UsageError = std::invalid_argument;

// A live status line on stderr while the command waits, only on a terminal: scripts reading
// stderr see nothing but outcomes.
class ProgressLine : public QObject {
public:
    explicit ProgressLine(std::function<std::string()> text);
    ~ProgressLine() override;

private:
    void Show();

    std::function<std::string()> text_;
    QTimer timer_;
    bool shown_ = false;
};

QHostAddress DestinationFrom(const QCommandLineParser& parser);
// The --interface names, each checked to exist and be able to broadcast now.
std::vector<std::string> InterfacesFrom(const QCommandLineParser& parser);
// Bounds of --rounds and --until-quiet, and apply's defaults: a site's devices answer within
// a few hundred milliseconds of a Discover, and a lossy link needs a few rounds.
constexpr int kMaxRounds = 100;
constexpr int kMaxQuietMs = 3600 * 1000;
constexpr int kApplyRounds = 5;
constexpr int kApplyQuietMs = 700;
// Option name, a whole number within low..high, or fallback when not given.
int IntegerOption(const QCommandLineParser& parser, const char* name, int low, int high,
                  int fallback);
// --password-stdin, --password-file FILE, then VREL_PASSWORD, else empty.
std::string PasswordFrom(const QCommandLineParser& parser);
void AddCommonOptions(QCommandLineParser& parser, const char* defaultTimeout);
void AddPasswordOptions(QCommandLineParser& parser);
// The MAC argument, a time-out of 3 s, the destination address and the password options.
void AddDeviceOptions(QCommandLineParser& parser);
// The one MAC address argument as twelve upper-case hex digits.
std::string TargetMacFrom(const QCommandLineParser& parser, const std::string& command);
std::uint32_t TimeoutFrom(const QCommandLineParser& parser, const char* name = "timeout");
// Prints help and exits on --help.
void ParseOrThrow(QCommandLineParser& parser, const QStringList& args);
// The exit code for a failure thrown by the protocol engine while sending.
int ExitCodeForFailure(int resultCode);
// Runs send, then tells on stderr of the interfaces the request could not go out of, also when
// send throws.
void TellSendFailures(const KvVRELClient& client, const std::function<void()>& send);
int SecondsLeft(std::int64_t deadline);

// Tells on err of a receive buffer smaller than asked for and of answers dropped since
// the count stood at dropsBefore.
void ReportReceiveDrops(const KvVRELClient& client, std::uint64_t dropsBefore, std::ostream& err);

// What set and apply share (in SetCommand.cpp): --force, --no-verify and --json.
void AddSetOptions(QCommandLineParser& parser);
VerifiedSet::Options SetOptionsFrom(const QCommandLineParser& parser);
// One journal line for a Set that was sent; a journal that cannot be written is a warning,
// never the failure of the Set. before: the device as it was listed, where known.
void RecordSet(const Device& before, const VerifiedSet::Target& target, const SetOutcome& outcome);
JsonFields OutcomeJson(const VerifiedSet::Target& target, const SetOutcome& outcome);

int RunDiscover(const QStringList& args);
int RunSet(const QStringList& args);
int RunGet(const QStringList& args);
int RunApply(const QStringList& args);
int RunAssign(const QStringList& args);
int RunJournal(const QStringList& args);

// args as QCoreApplication::arguments() gives them.
int RunCommandLine(const QStringList& args);

} // namespace vrel::cli
