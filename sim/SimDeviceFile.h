#pragma once

#include "CsvRecords.h"
#include "SimDevice.h"

#include <string>
#include <vector>

namespace vrel {

// A device file that cannot be used, as CSV or for its values; the message names the file line.
using SimDeviceFileError = CsvError;

// Reads simulated devices from CSV as ReadCsvTable does, with the columns productCode,modelName,
// macAddress,ipAddress,netmask,password; others are ignored. A product code is decimal or 0x hex
// (0..65535), a MAC as parse_mac reads it, an address and netmask as AddressProblem accepts.
// MACs are unique unless clones (a commissioning fault to reproduce) are allowed.
std::vector<SimDevice> parse_device_file(const std::string& text, bool clonesAllowed = false);
// Throws SimDeviceFileError also when the file cannot be read.
std::vector<SimDevice> load_device_file(const std::string& path, bool clonesAllowed = false);

} // namespace vrel
