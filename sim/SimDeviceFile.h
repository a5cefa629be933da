#pragma once

#include "SimDevice.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vrel {

// A device file that cannot be used; the message names the file line.
class SimDeviceFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the devices of a simulator from CSV (RFC 4180: fields may be quoted, a quoted field
// may hold separators, line breaks and doubled quotes; LF or CRLF line ends; ',', ';' or tab
// between fields, as the header shows). The first record names the columns
//     productCode,modelName,macAddress,ipAddress,netmask,password
// in any order and case; further columns are ignored. Every further record is one device: product code in decimal or 0x hex (0..65535), any
// model name, a MAC as parse_mac reads it, an address and a netmask that AddressProblem
// accepts, any password. Blank lines are skipped; MACs must be unique unless clones are
// allowed (several devices with one MAC address: a commissioning fault to reproduce).
class SimDeviceFile {
public:
    static std::vector<SimDevice> parse(const std::string& text, bool clonesAllowed = false);
    // Throws SimDeviceFileError also when the file cannot be read.
    static std::vector<SimDevice> load(const std::string& path, bool clonesAllowed = false);
};

} // namespace vrel
