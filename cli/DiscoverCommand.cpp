#include "CliSession.h"
#include "DiscoverRounds.h"
#include "HostAddresses.h"

#include <QCommandLineParser>

#include <iostream>

namespace vrel::cli {

void ReportReceiveDrops(const KvVRELClient& client, std::uint64_t dropsBefore, std::ostream& err) {
    const std::int64_t granted = client.GrantedReceiveBufferBytes();
    if (client.ReceiveBufferShort())
        err << "vrel: the kernel granted " << granted << " bytes of receive buffer for the "
            << client.RequestedReceiveBufferBytes() << " asked; net.core.rmem_max caps it\n";
    const std::uint64_t drops = client.DroppedDatagrams() - dropsBefore;
    if (drops > 0)
        err << "vrel: " << drops << " answers were dropped, the receive buffer of " << granted
            << " bytes was full; raise net.core.rmem_max or use --rounds\n";
}

namespace {

// The notes of each row; rows past the last conflict need no entry.
std::vector<std::string> NotesOf(const std::vector<DeviceConflict>& conflicts) {
    std::vector<std::string> notes(conflicts.empty() ? 0 : conflicts.back().device + 1);
    for (const DeviceConflict& c : conflicts)
        notes[c.device] = c.Text();
    return notes;
}

struct DiscoverArgs {
    std::uint32_t timeout = 0;
    QHostAddress destination;
    int rounds = 1, quietMs = 0;
    std::vector<std::string> interfaces;
    std::string condition;
    bool json = false, csv = false;
};

DiscoverArgs ParseDiscover(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription("List every VREL device that answers a Discover broadcast.");
    AddCommonOptions(parser, "7");
    parser.addOption({"json", "Print a JSON array of objects."});
    parser.addOption({"csv", "Print CSV (RFC 4180) with a header row."});
    parser.addOption({"where",
                      "Only list answers that meet CONDITION, e.g. $0.1=\"SIM-3\" (Model Name) "
                      "or $0.3=\"10.0.0.3\" (IP Address).",
                      "CONDITION"});
    parser.addOption({"rounds",
                      "Broadcast up to N times and list every device found in any round; stop "
                      "after a round that found no new device (default 1).",
                      "N"});
    parser.addOption({"until-quiet",
                      "End a round MS milliseconds after the last new device answered (or after "
                      "the broadcast) instead of waiting out the whole time-out.",
                      "MS"});
    ParseOrThrow(parser, args);
    if (parser.isSet("json") && parser.isSet("csv"))
        throw UsageError("--json and --csv exclude each other");
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("unexpected argument '" +
                         parser.positionalArguments().first().toStdString() + "'");
    DiscoverArgs a;
    a.timeout = TimeoutFrom(parser);
    a.destination = DestinationFrom(parser);
    a.rounds = IntegerOption(parser, "rounds", 1, kMaxRounds, 1);
    a.quietMs = IntegerOption(parser, "until-quiet", 1, kMaxQuietMs, 0);
    a.interfaces = InterfacesFrom(parser);
    a.condition = parser.value("where").toLatin1().toStdString();
    a.json = parser.isSet("json");
    a.csv = parser.isSet("csv");
    return a;
}

void PrintDevices(const DiscoverArgs& a, const DiscoverRounds& run, const KvVRELClient& client) {
    const DeviceIndex& found = run.Devices();
    const DeviceAt at = [&found, d = Device()](std::size_t i) mutable -> const Device& {
        found.Read(i, d);
        return d;
    };
    const std::vector<DeviceConflict> conflicts = FindConflicts(found.Count(), at, HostAddresses());
    // CSV has no notes column: its readers get the summary line only.
    if (a.json)
        std::cout << FormatJson(found.Devices(), NotesOf(conflicts), &found);
    else if (a.csv)
        WriteCsv(found.Count(), at, std::cout);
    else if (found.Count() > 0)
        std::cout << FormatTable(found.Devices(), NotesOf(conflicts));
    if (found.Count() == 0)
        std::cerr << "vrel: no device answered\n"
                  << NothingFoundText(NetInterfaces::Enumerate(), client.LastSend(),
                                      run.Discovery().AnswersByInterface());
    if (const std::string summary = ConflictSummary(conflicts); !summary.empty())
        std::cerr << "vrel: conflicts: " << summary << "\n";
}

} // namespace

int RunDiscover(const QStringList& args) {
    const DiscoverArgs a = ParseDiscover(args);
    OwnDiscover own(a.destination, a.interfaces, a.timeout);
    KvVRELClient& client = own.client;
    own.request.responseCondition = a.condition;
    own.request.CheckResponse(); // a condition that cannot be evaluated fails before sending
    const std::uint64_t dropsBefore = client.DroppedDatagrams();
    // A round that lost answers to a full buffer may have hidden new devices: go on.
    DiscoverRounds run(own.request, a.rounds, a.quietMs,
                       [&client] { return client.DroppedDatagrams(); });
    run.Run();
    ReportReceiveDrops(client, dropsBefore, std::cerr);
    PrintDevices(a, run, client);
    std::cout.flush();
    if (const auto& failure = run.Failure()) {
        std::cerr << "vrel: round " << run.RoundsRun() + 1 << ": " << failure->second << "\n";
        return ExitCodeForFailure(failure->first);
    }
    return kExitOk;
}

} // namespace vrel::cli
