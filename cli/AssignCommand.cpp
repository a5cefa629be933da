#include "AddressRange.h"
#include "CliSession.h"
#include "DiscoverRounds.h"
#include "SaveText.h"
#include "SitePlan.h"

#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <iostream>

namespace vrel::cli {

namespace {

constexpr int kAssignRounds = 3;

struct AssignArgs {
    std::uint32_t from = 0, mask = 0;
    std::string condition;
    bool byMac = true;
    QString output;
    std::uint32_t timeout = 0;
    int rounds = 0, quietMs = 0;
    QHostAddress destination;
    std::vector<std::string> interfaces;
};

AssignArgs ParseAssign(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Write a plan for apply that gives the devices found addresses counting up from ADDR:\n"
        "an address a device answers with already is skipped, and so are the network and\n"
        "broadcast addresses; refused when the devices do not fit in the subnet. Nothing is\n"
        "sent to a device but Discovers. Read the plan, change it if wanted, then\n"
        "'vrel apply --dry-run PLAN' and 'vrel apply PLAN'.");
    AddCommonOptions(parser, "3");
    parser.addOption({"from", "The first address to give.", "ADDR"});
    parser.addOption({"netmask", "The netmask every device gets.", "MASK"});
    parser.addOption({"where", "Only devices that meet CONDITION, as discover takes it.", "CONDITION"});
    parser.addOption({"order", "mac (default): by MAC address; found: in the order of answers.",
                      "mac|found", "mac"});
    parser.addOption({{"o", "output"}, "Write the plan to FILE ('-': stdout); an existing file is "
                                       "never overwritten.", "FILE"});
    parser.addOption({"rounds", "Discover up to N times (default 3).", "N"});
    parser.addOption({"until-quiet", "End a round MS milliseconds after the last new device "
                                     "(default 700).", "MS"});
    ParseOrThrow(parser, args);
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("unexpected argument '" +
                         parser.positionalArguments().first().toStdString() + "'");
    if (!parser.isSet("from") || !parser.isSet("netmask") || !parser.isSet("output"))
        throw UsageError("--from, --netmask and -o are needed; try 'vrel assign --help'");
    const std::string from = parser.value("from").toStdString();
    const std::string mask = parser.value("netmask").toStdString();
    if (const auto refusal = CheckDeviceAddress(from, mask))
        throw UsageError(RefusalText(*refusal, "--from", "--netmask"));
    const QString order = parser.value("order");
    if (order != "mac" && order != "found")
        throw UsageError("--order is mac or found, not '" + order.toStdString() + "'");
    AssignArgs a;
    a.from = *ParseDottedQuad(from);
    a.mask = *ParseNetmask(mask);
    a.condition = parser.value("where").toLatin1().toStdString();
    a.byMac = order == "mac";
    a.output = parser.value("output");
    if (a.output != "-" && QFile::exists(a.output))
        throw UsageError("'" + a.output.toStdString() + "' exists; name another file");
    a.timeout = TimeoutFrom(parser);
    a.rounds = IntegerOption(parser, "rounds", 1, kMaxRounds, kAssignRounds);
    a.quietMs = IntegerOption(parser, "until-quiet", 1, kMaxQuietMs, kApplyQuietMs);
    a.destination = DestinationFrom(parser);
    a.interfaces = InterfacesFrom(parser);
    return a;
}

// The devices to number: those meeting the condition, never one with a group MAC, in the
// order asked for.
std::vector<const Device*> Chosen(const AssignArgs& a, const DeviceList& found) {
    KvVRELRequest check;
    check.responseCondition = a.condition;
    std::vector<const Device*> chosen;
    for (const Device& d : found) {
        if (const std::string problem = GroupMacProblem(d.macAddress); !problem.empty())
            std::cerr << "vrel: skipped: " << problem << "\n";
        else if (DeviceMeetsCondition(check, d))
            chosen.push_back(&d);
    }
    if (a.byMac)
        std::ranges::sort(chosen, {}, [](const Device* d) { return MacKey(d->macAddress); });
    return chosen;
}

} // namespace

int RunAssign(const QStringList& args) {
    const AssignArgs a = ParseAssign(args);
    OwnDiscover own(a.destination, a.interfaces, a.timeout);
    own.request.responseCondition = a.condition;
    own.request.CheckResponse(); // a condition that cannot be evaluated fails before sending
    own.request.responseCondition.clear(); // every address found is taken, chosen or not
    DiscoverRounds run(own.request, a.rounds, a.quietMs);
    run.Run();
    const DeviceList& found = run.Devices().Devices();
    const RangePlan plan = AssignRange(Chosen(a, found), a.from, a.mask, found);
    if (!plan.error.empty())
        throw UsageError(plan.error + "; nothing was written");
    const std::string csv = RangePlanCsv(plan, a.mask);
    if (a.output == "-")
        std::cout << csv << std::flush;
    else if (const auto failure = SaveText(a.output, csv))
        throw UsageError("cannot write " + *failure);
    std::cerr << "vrel: " << plan.rows.size() << " of " << found.size()
              << " devices found are in the plan\n";
    return kExitOk;
}

} // namespace vrel::cli
