#include "SitePlan.h"

#include "CsvRecords.h"

#include <map>
#include <set>

namespace vrel {

namespace {

const char* const kColumns[] = {"macAddress", "ipAddress", "netmask", "password"};
enum Column { kMac, kIp, kNetmask, kPassword, kColumnCount };

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

// The position of each known column, -1 when absent; errors for anything else.
std::vector<int> HeaderPositions(const CsvRecord& header, std::vector<std::string>& errors) {
    std::vector<int> position(kColumnCount, -1);
    for (std::size_t f = 0; f < header.fields.size(); ++f) {
        int column = 0;
        while (column < kColumnCount && header.fields[f] != kColumns[column])
            ++column;
        if (column == kColumnCount || position[column] >= 0)
            errors.push_back(At(header.line) + "unexpected column '" + header.fields[f] +
                             "'; the header is macAddress,ipAddress,netmask[,password]");
        else
            position[column] = static_cast<int>(f);
    }
    for (int column = kMac; column <= kNetmask; ++column) {
        if (position[column] < 0)
            errors.push_back(At(header.line) + "the column " + kColumns[column] + " is missing");
    }
    return position;
}

} // namespace

std::string RefusalText(const AddressRefusal& refusal, const char* ipName,
                        const char* netmaskName) {
    return std::string(refusal.field == AddressRefusal::kIpAddress ? ipName : netmaskName) + ": " +
           refusal.reason + (refusal.overridable ? "; --force sends it anyway" : "");
}

SitePlan ReadSitePlan(const std::string& text, bool force) {
    SitePlan plan;
    std::vector<CsvRecord> records;
    try {
        records = SplitCsvRecords(text);
    } catch (const CsvError& e) {
        plan.errors.push_back(e.what());
        return plan;
    }
    if (records.empty()) {
        plan.errors.push_back(At(1) + "empty plan; the first line must be the header");
        return plan;
    }
    const std::vector<int> position = HeaderPositions(records.front(), plan.errors);
    if (!plan.errors.empty())
        return plan;

    std::map<std::string, int> macLines, ipLines;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        if (rec.fields.size() != records.front().fields.size()) {
            plan.errors.push_back(At(rec.line) + "expected " +
                                  std::to_string(records.front().fields.size()) +
                                  " fields, found " + std::to_string(rec.fields.size()));
            continue;
        }
        PlanRow row;
        row.line = rec.line;
        const auto field = [&](Column c) {
            return rec.fields[static_cast<std::size_t>(position[c])];
        };
        const auto mac = NormalizeMac(field(kMac));
        if (!mac)
            plan.errors.push_back(At(rec.line) + "MAC address '" + field(kMac) +
                                  "' is not twelve hex digits");
        row.mac = mac.value_or(field(kMac));
        row.ip = field(kIp);
        row.netmask = field(kNetmask);
        if (position[kPassword] >= 0 && !field(kPassword).empty())
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
    return plan;
}

std::vector<std::string> AddressesTakenOutside(const SitePlan& plan,
                                               const std::vector<Device>& found) {
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
