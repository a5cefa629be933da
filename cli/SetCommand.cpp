#include "CliSession.h"
#include "Journal.h"
#include "KvVRELClient.h"
#include "Messages.h"
#include "SitePlan.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <iostream>

namespace vrel::cli {

namespace {

// Everything is checked before a byte is sent: a typo must never reach a device.
VerifiedSet::Target CheckedInput(const QCommandLineParser& parser) {
    VerifiedSet::Target in;
    in.mac = TargetMacFrom(parser, "set");
    if (const std::string problem = GroupMacProblem(in.mac); !problem.empty())
        throw UsageError(problem);
    if (!parser.isSet("ip") || !parser.isSet("netmask"))
        throw UsageError("both --ip and --netmask are needed");
    in.ip = parser.value("ip").toStdString();
    in.netmask = parser.value("netmask").toStdString();
    if (const auto refusal = CheckDeviceAddress(in.ip, in.netmask, parser.isSet("force")))
        throw UsageError(RefusalText(*refusal, "--ip", "--netmask"));
    return in;
}

// Sets and checks one device, running the event loop until the verdict, with "Setting MAC..."
// on a terminal. Throws the failure to send the first Set.
SetOutcome SetAndVerify(KvVRELClient& client, const VerifiedSet::Target& target,
                        const VerifiedSet::Options& options) {
    QEventLoop loop;
    VerifiedSet set(client, target, options, [&](const SetOutcome&) { loop.quit(); });
    set.Start();
    if (!set.Done()) {
        ProgressLine progress([&] {
            const int tries = set.Outcome().attempts;
            return "Setting " + target.mac + "..." +
                   (tries > 1 ? " try " + std::to_string(tries) : "");
        });
        loop.exec();
    }
    return set.Outcome();
}

// The verdict on stdout (or as JSON), notes and failures on stderr; the exit code.
int ReportOutcome(const VerifiedSet::Target& target, const SetOutcome& outcome,
                  const VerifiedSet::Options& options, bool json) {
    const bool succeeded = VerdictSucceeded(outcome.verdict);
    if (json) {
        std::cout << JsonObjectText(OutcomeJson(target, outcome)) << "\n";
    } else if (succeeded) {
        std::cout << "Set " << target.mac << ": IP address " << target.ip << ", netmask "
                  << target.netmask << "\n";
        if (outcome.verdict != SetVerdict::kNotVerified)
            std::cout << VerdictLine(target.mac, target.ip, target.netmask, outcome) << "\n";
    }
    if (outcome.verdict == SetVerdict::kAppliedAnswerLost)
        std::cerr << "vrel: note: the device did not answer the Set, but reports the new "
                     "address\n";
    if (outcome.verdict == SetVerdict::kAcknowledged)
        std::cerr << "vrel: note: the device took the Set but did not answer at its new "
                     "address within the check; it may be restarting its network\n";
    if (!succeeded) {
        std::cerr << MessageForCode(outcome.setCode) << "\n";
        if (outcome.verdict == SetVerdict::kNotConfirmed && options.verify)
            std::cerr << VerdictLine(target.mac, target.ip, target.netmask, outcome) << "\n";
    }
    std::cout.flush();
    return succeeded ? kExitOk : kExitDeviceFailure;
}

} // namespace

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

int RunSet(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Write a new IP address and netmask into the device with the MAC address MAC.\n"
        "The password comes from --password-stdin, --password-file or VREL_PASSWORD.\n"
        "A Set without an answer is sent twice more; then the device is asked for its\n"
        "address for up to 3 s. Verdicts: verified; applied, answer lost, and acknowledged,\n"
        "not verified (exit 0 with a note); not confirmed (exit 1).");
    AddDeviceOptions(parser);
    parser.addOption({"ip", "The new IP address.", "ADDR"});
    parser.addOption({"netmask", "The new netmask.", "MASK"});
    AddSetOptions(parser);
    ParseOrThrow(parser, args);
    VerifiedSet::Target target = CheckedInput(parser);
    const VerifiedSet::Options options = SetOptionsFrom(parser);
    const QHostAddress destination = DestinationFrom(parser);
    const std::vector<std::string> interfaces = InterfacesFrom(parser);
    target.password = PasswordFrom(parser);

    SetOutcome outcome;
    KvVRELClient client(nullptr, destination);
    client.SetInterfaceNames(interfaces);
    TellSendFailures(client, [&] {
        outcome = SetAndVerify(client, target, options);
        Device before;
        before.interfaceName = interfaces.size() == 1 ? interfaces.front() : std::string();
        RecordSet(before, target, outcome);
    });
    return ReportOutcome(target, outcome, options, parser.isSet("json"));
}

} // namespace vrel::cli
