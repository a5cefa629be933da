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

// Reads simulated devices from CSV as ReadCsvTable does, with the columns productCode,modelName,
// macAddress,ipAddress,netmask,password; others are ignored. A product code is decimal or 0x hex
// (0..65535), a MAC as parse_mac reads it, an address and netmask as AddressProblem accepts.
// MACs are unique unless clones (a commissioning fault to reproduce) are allowed.
std::vector<SimDevice> parse_device_file(const std::string& text, bool clonesAllowed = false);
// Throws SimDeviceFileError also when the file cannot be read.
std::vector<SimDevice> load_device_file(const std::string& path, bool clonesAllowed = false);

} // namespace vrel
