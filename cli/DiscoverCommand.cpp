#include "CliSession.h"
#include "CliText.h"
#include "DeviceConflicts.h"
#include "Exception.h"
#include "HostAddresses.h"
#include "KvVRELRequest.h"
#include "VrelTables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>

#include <iostream>
#include <map>
#include <set>

namespace vrel::cli {

DeviceRow DeviceRowFrom(const KvVRELVarList& vars, const std::string& interface) {
    const KvVRELResponseVarList& f = *vars.at(0).responseVars;
    return {f.at(0).value, f.at(1).value, f.at(2).value, f.at(3).value, f.at(4).value, interface};
}

namespace {

std::vector<FoundDevice> Found(const std::vector<DeviceRow>& rows) {
    std::vector<FoundDevice> devices;
    for (const DeviceRow& r : rows)
        devices.push_back({r.macAddress, r.ipAddress, r.netmask, {}});
    return devices;
}

std::vector<std::string> NotesOf(const std::vector<DeviceConflict>& conflicts) {
    std::vector<std::string> notes;
    for (const DeviceConflict& c : conflicts)
        notes.push_back(c.Text());
    return notes;
}

// Collects the answers of one Discover: one row per MAC address, the first answer kept, in
// the order the first answers came.
class DiscoverRun {
public:
    DiscoverRun(KvVRELRequest& request) : request_(request) {}

    void OnDone(const KvVRELError& e, KvVRELVarList& vars) {
        request_.variables.assign(vars);
        if (e.code == -1014) {
            loop.quit();
            return;
        }
        ++answers[e.interfaceName];
        if (e.code != 0)
            return;
        try {
            if (!request_.CheckResponse())
                return;
        } catch (const Exception& failure) {
            std::cerr << "vrel: answer from " << DeviceRowFrom(vars).macAddress << ": "
                      << failure.Message() << "\n";
            return;
        }
        DeviceRow row = DeviceRowFrom(vars, e.interfaceName);
        if (seen_.insert(row.macAddress).second)
            rows.push_back(std::move(row));
    }

    std::vector<DeviceRow> rows;
    std::map<std::string, int> answers; // by arrival interface, refused answers included
    QEventLoop loop;

private:
    KvVRELRequest& request_;
    std::set<std::string> seen_;
};

} // namespace

int RunDiscover(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription("List every VREL device that answers a Discover broadcast.");
    AddCommonOptions(parser, "7");
    parser.addOption({"json", "Print a JSON array of objects."});
    parser.addOption({"csv", "Print CSV (RFC 4180) with a header row."});
    parser.addOption({"where",
                      "Only list answers that meet CONDITION, e.g. $0.1=\"SIM-3\" (Model Name) "
                      "or $0.3=\"10.0.0.3\" (IP Address).",
                      "CONDITION"});
    ParseOrThrow(parser, args);
    if (parser.isSet("json") && parser.isSet("csv"))
        throw UsageError("--json and --csv exclude each other");
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("unexpected argument '" +
                         parser.positionalArguments().first().toStdString() + "'");
    const std::uint32_t timeout = TimeoutFrom(parser);
    const QHostAddress destination = DestinationFrom(parser);
    const std::vector<std::string> interfaces = InterfacesFrom(parser);

    QObject owner;
    try {
        KvVRELRequest::SetUp(&owner, destination);
    } catch (const Exception& e) {
        std::cerr << e.Message() << "\n";
        return kExitSocketError;
    }
    KvVRELClient& client = *KvVRELRequest::SharedClient();
    client.SetInterfaceNames(interfaces);
    KvVRELRequest::DefaultTargetMac() = "FFFFFFFFFFFF";
    KvVRELRequest::DefaultPassword() = "";
    KvVRELRequest request;
    request.ReloadDefaults();
    request.timeout = timeout;
    auto discovery = KvVRELVarList::create_from_definitions(DiscoveryVariables());
    request.variables.assign(*discovery);
    request.variables.name = "Discovery Table";
    request.responseCondition = parser.value("where").toLatin1().toStdString();

    // A condition that cannot be evaluated fails on every answer: find out before sending.
    try {
        request.CheckResponse();
    } catch (const Exception& e) {
        std::cerr << e.Message() << "\n";
        return kExitBadInput;
    }

    DiscoverRun run(request);
    std::int64_t deadline = 0;
    try {
        request.DiscoverAsync(BindCompletion(&run, &DiscoverRun::OnDone));
        deadline = KvVRELClient::TickCount() + static_cast<std::int64_t>(timeout) * 10;
    } catch (const Exception& e) {
        ReportSendFailures(client);
        std::cerr << e.Message() << "\n";
        return ExitCodeForFailure(e.HelpContext());
    }
    ReportSendFailures(client);
    {
        ProgressLine progress([&] {
            return "Discovering... " + std::to_string(run.rows.size()) + " devices, " +
                   std::to_string(SecondsLeft(deadline)) + " s left";
        });
        run.loop.exec();
    }

    // What is wrong with each row's address, as seen from this host's networks.
    const std::vector<DeviceConflict> conflicts = FindConflicts(Found(run.rows), HostAddresses());
    const std::vector<std::string> notes = NotesOf(conflicts);
    if (parser.isSet("json"))
        std::cout << FormatJson(run.rows, notes);
    else if (parser.isSet("csv"))
        std::cout << FormatCsv(run.rows);
    else if (!run.rows.empty())
        std::cout << FormatTable(run.rows, notes);
    if (run.rows.empty())
        std::cerr << "vrel: no device answered\n"
                  << NothingFoundText(KvNetInterfaces::Enumerate(), client.LastSend(), run.answers);
    if (const std::string summary = ConflictSummary(conflicts); !summary.empty())
        std::cerr << "vrel: conflicts: " << summary << "\n";
    std::cout.flush();
    return kExitOk;
}

} // namespace vrel::cli
