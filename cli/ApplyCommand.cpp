#include "CliSession.h"
#include "DiscoverRounds.h"
#include "ParallelSets.h"
#include "SitePlan.h"

#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <iostream>

namespace vrel::cli {

namespace {

void FailWith(const std::vector<std::string>& errors) {
    for (const std::string& e : errors)
        std::cerr << "vrel: " << e << "\n";
    throw UsageError("the plan has " + std::to_string(errors.size()) +
                     (errors.size() == 1 ? " error" : " errors") + "; nothing was sent");
}

// One row of the JSON report: the plan row, where its device was found, and any outcome.
JsonFields RowJson(const PlanRow& row, const std::optional<Device>& device,
                   const SetOutcome* outcome) {
    JsonFields fields =
        OutcomeJson({row.mac, "", row.ip, row.netmask}, outcome ? *outcome : SetOutcome{});
    if (outcome == nullptr) {
        // Nothing was sent: the plan row alone, without a Set's verdict and result.
        std::erase_if(fields, [](const auto& field) {
            return field.first == "verdict" || field.first == "setResult" ||
                   field.first == "attempts";
        });
    }
    if (!device)
        fields.emplace_back("verdict", "not found");
    fields.emplace_back("line", row.line);
    fields.emplace_back("found", device.has_value());
    if (device) {
        fields.emplace_back("currentIpAddress", QString::fromLatin1(device->ipAddress));
        fields.emplace_back("currentNetmask", QString::fromLatin1(device->netmask));
    }
    return fields;
}

struct ApplyArgs {
    QString planPath;
    VerifiedSet::Options options;
    std::uint32_t discoverTimeout = 0;
    int rounds = 0, quietMs = 0;
    QHostAddress destination;
    std::vector<std::string> interfaces;
    bool json = false, dryRun = false, force = false;
    std::string password;
};

struct ApplyRun {
    const ApplyArgs& args;
    const SitePlan& plan;
    const DeviceIndex& found;
};

// The rows as they are reported: each in plan order once it and every row before it are done.
class RowReport {
public:
    explicit RowReport(const ApplyRun& run)
        : run_(run), outcomes_(run.plan.rows.size()), ready_(outcomes_.size()) {}

    // A row with its verdict, or, for a row with nothing sent, none.
    void Done(std::size_t row, const SetOutcome* outcome) {
        outcomes_[row] = outcome ? std::optional(*outcome) : std::nullopt;
        ready_[row] = true;
        succeeded_ += outcome && VerdictSucceeded(outcome->verdict);
        for (; printed_ < ready_.size() && ready_[printed_]; ++printed_)
            Print(printed_);
    }
    int Succeeded() const { return succeeded_; }
    void Finish() {
        if (run_.args.json)
            std::cout << JsonArrayText(json_);
        std::cout.flush();
    }

private:
    void Print(std::size_t i) {
        const PlanRow& row = run_.plan.rows[i];
        const std::optional<Device> device = run_.found.Find(row.mac);
        const SetOutcome* outcome = outcomes_[i] ? &*outcomes_[i] : nullptr;
        if (run_.args.json) {
            json_.push_back(RowJson(row, device, outcome));
            return;
        }
        if (device)
            std::cout << row.mac << ": " << device->ipAddress << "/" << device->netmask << " -> "
                      << row.ip << "/" << row.netmask << "\n";
        else
            std::cout << row.mac << ": not found\n";
        if (outcome)
            std::cout << "  " << VerdictLine(row.mac, row.ip, row.netmask, *outcome) << "\n";
        else if (!run_.args.dryRun)
            std::cout << "  " << row.mac << ": not found, skipped\n";
        std::cout.flush();
    }

    const ApplyRun& run_;
    std::vector<std::optional<SetOutcome>> outcomes_;
    std::vector<bool> ready_;
    std::vector<JsonFields> json_;
    std::size_t printed_ = 0;
    int succeeded_ = 0;
};

// Shows, and unless it is a dry run sets, every row (a bounded number at once, each with its
// own retries and check); the count of rows whose device ended holding its new address.
int ApplyRows(KvVRELClient& client, const ApplyRun& run) {
    RowReport report(run);
    std::vector<VerifiedSet::Target> targets;
    std::vector<std::size_t> rowOf;
    for (std::size_t i = 0; i < run.plan.rows.size(); ++i) {
        const PlanRow& row = run.plan.rows[i];
        const std::optional<Device> device = run.found.Find(row.mac);
        if (run.args.dryRun || !device) {
            report.Done(i, nullptr);
            continue;
        }
        targets.push_back({row.mac, row.password.value_or(run.args.password), row.ip, row.netmask,
                           device->interfaceIndex});
        rowOf.push_back(i);
    }
    QEventLoop loop;
    ParallelSets sets(client, targets, run.args.options,
                      [&](std::size_t t, const SetOutcome& outcome) {
                          RecordSet(*run.found.Find(targets[t].mac), targets[t], outcome);
                          report.Done(rowOf[t], &outcome);
                      });
    QObject::connect(&sets, &ParallelSets::AllDone, &loop, &QEventLoop::quit);
    sets.Start();
    if (!sets.Done()) {
        ProgressLine progress([&] {
            return "Applying... " + std::to_string(sets.Finished()) + " of " +
                   std::to_string(sets.Total()) + " devices done";
        });
        loop.exec();
    }
    report.Finish();
    return report.Succeeded();
}

// The exit code of a run in which succeeded rows ended with the device holding its address.
int Verdict(const ApplyRun& run, int succeeded) {
    const auto total = static_cast<int>(run.plan.rows.size());
    if (run.args.dryRun) {
        const auto present = std::ranges::count_if(
            run.plan.rows, [&](const PlanRow& r) { return run.found.Find(r.mac).has_value(); });
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

ApplyArgs ParseApply(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Commission a site from PLAN, a CSV file with the columns macAddress,ipAddress,netmask\n"
        "and optionally password (otherwise the password options apply), in any order,\n"
        "separated by commas, semicolons or tabs. Every row is checked first; Discovers then\n"
        "find every device of the plan, each row shows its device's current and new address,\n"
        "and the devices are set and verified, many at once. Exit 0 only when every row\n"
        "succeeded.");
    parser.addPositionalArgument("PLAN", "The plan file.");
    AddCommonOptions(parser, "3");
    AddPasswordOptions(parser);
    AddSetOptions(parser);
    parser.addOption({"dry-run", "Check the plan and show the changes; send no Set."});
    parser.addOption({"discover-timeout",
                      "Seconds each Discover round waits for answers at most (default 3).",
                      "SECONDS", "3"});
    parser.addOption({"rounds",
                      "Discover up to N times until every device of the plan has answered or a "
                      "round finds nothing new (default 5).",
                      "N"});
    parser.addOption({"until-quiet",
                      "End a Discover round MS milliseconds after the last new device (default "
                      "700).",
                      "MS"});
    ParseOrThrow(parser, args);
    if (parser.positionalArguments().size() != 1)
        throw UsageError("give exactly one plan file; try 'vrel apply --help'");
    ApplyArgs a;
    a.planPath = parser.positionalArguments().first();
    a.options = SetOptionsFrom(parser);
    a.discoverTimeout = TimeoutFrom(parser, "discover-timeout");
    a.rounds = IntegerOption(parser, "rounds", 1, kMaxRounds, kApplyRounds);
    a.quietMs = IntegerOption(parser, "until-quiet", 1, kMaxQuietMs, kApplyQuietMs);
    a.destination = DestinationFrom(parser);
    a.interfaces = InterfacesFrom(parser);
    a.json = parser.isSet("json");
    a.dryRun = parser.isSet("dry-run");
    a.force = parser.isSet("force");
    if (!a.dryRun)
        a.password = PasswordFrom(parser);
    return a;
}

} // namespace

int RunApply(const QStringList& args) {
    const ApplyArgs a = ParseApply(args);
    QFile file(a.planPath);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError("cannot read the plan '" + a.planPath.toStdString() +
                         "': " + file.errorString().toStdString());
    const SitePlan plan = ReadSitePlan(file.readAll().toStdString(), a.force);
    if (!plan.errors.empty())
        FailWith(plan.errors);
    std::cerr << IgnoredColumnsNotice(plan);
    OwnDiscover own(a.destination, a.interfaces, a.discoverTimeout);
    DiscoverRounds discovered(own.request, a.rounds, a.quietMs);
    const DeviceIndex& found = discovered.Devices();
    // Rounds go on only while a device of the plan is still missing.
    discovered.StopWhen([&] {
        return std::ranges::all_of(plan.rows,
                                   [&](const PlanRow& r) { return found.Find(r.mac).has_value(); });
    });
    discovered.Run();
    const auto taken = AddressesTakenOutside(plan, found.Devices());
    if (!taken.empty())
        FailWith(taken);
    const ApplyRun run{a, plan, found};
    return Verdict(run, ApplyRows(own.client, run));
}

} // namespace vrel::cli
