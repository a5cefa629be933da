#include "CliSession.h"
#include "CliText.h"
#include "Exception.h"
#include "DeviceDiscovery.h"
#include "DiscoverRounds.h"
#include "KvVRELClient.h"
#include "ResultCodes.h"
#include "SitePlan.h"

#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <iostream>

namespace vrel::cli {

namespace {

std::string ReadPlanFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError("cannot read the plan '" + path.toStdString() +
                         "': " + file.errorString().toStdString());
    return file.readAll().toStdString();
}

// One Discover to every device, through the same rounds as discover: each MAC listed once, a
// MAC that answers with two contents reported on stderr.
void DiscoverDevices(DiscoverRounds& run, const KvVRELClient& client) {
    run.Start();
    ProgressLine progress([&] {
        return "Discovering... " + std::to_string(run.Devices().Devices().size()) + " devices, " +
               std::to_string(SecondsLeft(run.Deadline())) + " s left";
    });
    run.Wait();
    ReportSendFailures(client);
}

std::string AddressText(const std::string& ip, const std::string& netmask) {
    return ip + "/" + netmask;
}

void FailWith(const std::vector<std::string>& errors) {
    for (const std::string& e : errors)
        std::cerr << "vrel: " << e << "\n";
    throw UsageError("the plan has " + std::to_string(errors.size()) +
                     (errors.size() == 1 ? " error" : " errors") + "; nothing was sent");
}

// "MAC: current -> new", or "MAC: not found".
std::string PreviewLine(const PlanRow& row, const Device* device) {
    if (device == nullptr)
        return row.mac + ": not found";
    return row.mac + ": " + AddressText(device->ipAddress, device->netmask) + " -> " +
           AddressText(row.ip, row.netmask);
}

// One row of the JSON report: the plan row, where the device was found, and, once it was
// set, the outcome.
JsonFields RowJson(const PlanRow& row, const Device* device, const SetOutcome* outcome) {
    JsonFields fields =
        OutcomeJson({row.mac, "", row.ip, row.netmask}, outcome ? *outcome : SetOutcome{});
    if (outcome == nullptr) {
        // Nothing was sent: the plan row alone, without a Set's verdict and result.
        std::erase_if(fields, [](const auto& field) {
            return field.first == "verdict" || field.first == "setResult" ||
                   field.first == "attempts";
        });
    }
    if (device == nullptr)
        fields.emplace_back("verdict", "not found");
    fields.emplace_back("line", row.line);
    fields.emplace_back("found", device != nullptr);
    if (device != nullptr) {
        fields.emplace_back("currentIpAddress", QString::fromLatin1(device->ipAddress));
        fields.emplace_back("currentNetmask", QString::fromLatin1(device->netmask));
    }
    return fields;
}

struct ApplyRun {
    const SitePlan& plan;
    const DeviceIndex& found;
    VerifiedSet::Options options;
    std::string password;
    bool dryRun = false;
    bool json = false;
};

// Shows, and unless it is a dry run sets, every row in turn; the count of rows that ended
// with the device holding its new address.
int ApplyRows(KvVRELClient& client, const ApplyRun& run) {
    std::vector<JsonFields> report;
    int succeeded = 0;
    const std::size_t total = run.plan.rows.size();
    for (std::size_t i = 0; i < total; ++i) {
        const PlanRow& row = run.plan.rows[i];
        const Device* device = run.found.Find(row.mac);
        if (!run.json)
            std::cout << PreviewLine(row, device) << std::endl;
        if (run.dryRun || device == nullptr) {
            if (!run.json && !run.dryRun)
                std::cout << "  " << row.mac << ": not found, skipped\n";
            report.push_back(RowJson(row, device, nullptr));
            continue;
        }
        const VerifiedSet::Target target{row.mac, row.password.value_or(run.password), row.ip,
                                           row.netmask};
        const std::string what =
            "[" + std::to_string(i + 1) + "/" + std::to_string(total) + "] Setting " + row.mac;
        const SetOutcome outcome = SetAndVerify(client, target, run.options, what);
        succeeded += VerdictSucceeded(outcome.verdict);
        if (!run.json)
            std::cout << "  " << VerdictLine(row.mac, row.ip, row.netmask, outcome) << std::endl;
        report.push_back(RowJson(row, device, &outcome));
    }
    if (run.json)
        std::cout << JsonArrayText(report);
    std::cout.flush();
    return succeeded;
}

// The exit code of a run in which succeeded rows ended with the device holding its address.
int Verdict(const ApplyRun& run, int succeeded) {
    const auto total = static_cast<int>(run.plan.rows.size());
    if (run.dryRun) {
        const auto present = std::count_if(run.plan.rows.begin(), run.plan.rows.end(),
                                           [&](const PlanRow& r) { return run.found.Find(r.mac); });
        if (present < total)
            std::cerr << "vrel: " << total - present << " of " << total << " devices not found\n";
        return kExitOk;
    }
    if (succeeded != total) {
        std::cerr << "vrel: " << succeeded << " of " << total << " rows succeeded\n";
        return kExitDeviceFailure;
    }
    return kExitOk;
}

} // namespace

int RunApply(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Commission a site from PLAN, a CSV file with the header macAddress,ipAddress,netmask\n"
        "and an optional password column (otherwise the password options apply). Every row is\n"
        "checked first; one Discover then shows each device's current and new address, and\n"
        "each row is set and verified in turn. Exit 0 only when every row succeeded.");
    parser.addPositionalArgument("PLAN", "The plan file.");
    AddCommonOptions(parser, "3");
    AddPasswordOptions(parser);
    AddSetOptions(parser);
    parser.addOption({"dry-run", "Check the plan and show the changes; send no Set."});
    parser.addOption(
        {"discover-timeout", "Seconds to wait for Discover answers (default 3).", "SECONDS", "3"});
    ParseOrThrow(parser, args);
    if (parser.positionalArguments().size() != 1)
        throw UsageError("give exactly one plan file; try 'vrel apply --help'");
    const VerifiedSet::Options options = SetOptionsFrom(parser);
    std::uint32_t discoverTimeout = 0;
    try {
        discoverTimeout = ParseTimeout(parser.value("discover-timeout").toStdString());
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
    const QHostAddress destination = DestinationFrom(parser);
    const std::vector<std::string> interfaces = InterfacesFrom(parser);
    const bool json = parser.isSet("json");

    const SitePlan plan =
        ReadSitePlan(ReadPlanFile(parser.positionalArguments().first()), parser.isSet("force"));
    if (!plan.errors.empty())
        FailWith(plan.errors);
    const std::string password = PasswordFrom(parser);

    QObject owner;
    try {
        KvVRELClient client(&owner, destination);
        client.SetInterfaceNames(interfaces);
        KvVRELRequest request;
        request.client = &client;
        PrepareDiscover(request);
        request.timeout = discoverTimeout;
        DiscoverRounds discovered(request, 1, 0);
        DiscoverDevices(discovered, client);
        const DeviceIndex& found = discovered.Devices();
        const auto taken = AddressesTakenOutside(plan, found.Devices());
        if (!taken.empty())
            FailWith(taken);
        const ApplyRun run{plan, found, options, password, parser.isSet("dry-run"), json};
        return Verdict(run, ApplyRows(client, run));
    } catch (const Exception& e) {
        std::cerr << e.Message() << "\n";
        return ExitCodeForFailure(e.HelpContext());
    }
}

} // namespace vrel::cli
