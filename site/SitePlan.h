#pragma once

#include "Device.h"
#include "DeviceAddress.h"

#include <optional>
#include <string>
#include <vector>

namespace vrel {

// A refused address as the command line words it, naming the field as the user gave it
// (--ip or ipAddress), with a hint at --force where that would let it through.
std::string RefusalText(const AddressRefusal& refusal, const char* ipName, const char* netmaskName);

// One row of a commissioning plan: the device and the address it is to get.
struct PlanRow {
    int line = 0; // in the plan file, for messages
    std::string mac, ip, netmask;
    std::optional<std::string> password; // from the password column, when it has one
};

struct SitePlan {
    std::vector<PlanRow> rows;
    std::vector<std::string> errors; // "line N: ...", in file order
    // Header names that are none of the plan's (a location, a name), as the header has them.
    std::vector<std::string> ignoredColumns;
};

// Reads a plan: CSV with the header macAddress,ipAddress,netmask and an optional password
// column, in any order and any case, separated by ',', ';' or tab as spreadsheets save it;
// other columns are ignored and listed. Every row is checked as set checks its arguments (the plausibility
// rule unless force), and no MAC address or IP address may appear twice. All errors are
// collected, so that one run shows everything to mend.
SitePlan ReadSitePlan(const std::string& text, bool force);

// One line "vrel: ignoring column 'NAME'" per ignored column, for stderr; empty without any.
std::string IgnoredColumnsNotice(const SitePlan& plan);

// Errors for plan rows whose new IP address a device outside the plan answers with already.
std::vector<std::string> AddressesTakenOutside(const SitePlan& plan,
                                               const DeviceList& found);

} // namespace vrel
