// The simulator's device file: any bytes either give devices or a file error naming a line.
#include "SimDeviceFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vrel::parse_device_file(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const vrel::SimDeviceFileError&) {
    }
    return 0;
}
