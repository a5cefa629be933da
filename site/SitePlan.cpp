#include "SitePlan.h"

#include "CsvRecords.h"
#include "VisibleText.h"

#include <map>
#include <set>

namespace vrel {

namespace {

const std::vector<std::string> kColumns = {"macAddress", "ipAddress", "netmask", "password"};
enum Column { kMac, kIp, kNetmask, kPassword };

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

// Every row is read, its errors collected; the header is known to be complete.
void ReadRows(const CsvTable& table, bool force, SitePlan& plan) {
    std::map<std::string, int> macLines, ipLines;
    for (const CsvRecord& rec : table.rows) {
        if (rec.fields.size() != table.headerFields) {
            plan.errors.push_back(At(rec.line) + "expected " + std::to_string(table.headerFields) +
                                  " fields, found " + std::to_string(rec.fields.size()));
            continue;
        }
        const auto field = [&](Column c) {
            return rec.fields[static_cast<std::size_t>(table.position[c])];
        };
        const auto mac = NormalizeMac(field(kMac));
        if (!mac)
            plan.errors.push_back(At(rec.line) + "MAC address '" + field(kMac) +
                                  "' is not twelve hex digits");
        else if (const std::string problem = GroupMacProblem(*mac); !problem.empty())
            plan.errors.push_back(At(rec.line) + problem);
        PlanRow row{rec.line, mac.value_or(field(kMac)), field(kIp), field(kNetmask), {}};
        if (table.position[kPassword] >= 0 && !field(kPassword).empty())
            row.password = field(kPassword);
        if (const auto refusal = CheckDeviceAddress(row.ip, row.netmask, force))
            plan.errors.push_back(At(rec.line) + RefusalText(*refusal, "ipAddress", "netmask"));
        if (mac && !macLines.emplace(*mac, rec.line).second)
            plan.errors.push_back(At(rec.line) + "MAC address " + *mac + " appears twice (line " +
                                  std::to_string(macLines[*mac]) + ")");
        if (!ipLines.emplace(row.ip, rec.line).second)
            plan.errors.push_back(At(rec.line) + "IP address " + row.ip + " appears twice (line " +
                                  std::to_string(ipLines[row.ip]) + ")");
        plan.rows.push_back(std::move(row));
    }
}

} // namespace

std::string RefusalText(const AddressRefusal& refusal, const char* ipName,
                        const char* netmaskName) {
    return std::string(refusal.field == AddressRefusal::kIpAddress ? ipName : netmaskName) + ": " +
           refusal.reason + (refusal.overridable ? "; --force sends it anyway" : "");
}

SitePlan ReadSitePlan(const std::string& text, bool force) {
    SitePlan plan;
    CsvTable table;
    try {
        table = ReadCsvTable(text, kColumns);
    } catch (const CsvError& e) {
        plan.errors.push_back(e.what());
        return plan;
    }
    if (table.empty) {
        plan.errors.push_back(At(1) + "empty plan; the first line must be the header");
        return plan;
    }
    for (int column = kMac; column <= kNetmask; ++column) {
        if (table.position[column] < 0)
            plan.errors.push_back(At(table.headerLine) + "the column " + kColumns[column] +
                                  " is missing");
    }
    if (!plan.errors.empty())
        return plan;
    plan.ignoredColumns = std::move(table.ignoredColumns);
    ReadRows(table, force, plan);
    return plan;
}

std::string IgnoredColumnsNotice(const SitePlan& plan) {
    std::string notice;
    for (const std::string& column : plan.ignoredColumns)
        notice += "vrel: ignoring column '" + VisibleText(column) + "'\n";
    return notice;
}

std::vector<std::string> AddressesTakenOutside(const SitePlan& plan,
                                               const DeviceList& found) {
    std::set<std::string> planned;
    for (const PlanRow& row : plan.rows)
        planned.insert(row.mac);
    std::map<std::string, std::string> holder; // IP address -> MAC of a device outside the plan
    for (const Device& d : found) {
        if (planned.count(d.macAddress) == 0)
            holder.emplace(d.ipAddress, d.macAddress);
    }
    std::vector<std::string> errors;
    for (const PlanRow& row : plan.rows) {
        const auto it = holder.find(row.ip);
        if (it != holder.end())
            errors.push_back(At(row.line) + "IP address " + row.ip + " is used by " + it->second +
                             ", which is not in the plan");
    }
    return errors;
}

} // namespace vrel
