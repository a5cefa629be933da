#include "DeviceRecords.h"

#include "PackedText.h"

#include <utility>

namespace vrel {

namespace {

constexpr std::size_t kFields = 6;

} // namespace

DeviceRecords::DeviceRecords(std::initializer_list<DiscoveredDevice> devices) {
    for (const DiscoveredDevice& device : devices)
        push_back(device);
}

DeviceRecords::DeviceRecords(const DeviceRecords& other) {
    for (const DeviceView device : other)
        push_back(device);
}

DeviceRecords& DeviceRecords::operator=(const DeviceRecords& other) {
    if (this != &other) {
        DeviceRecords copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void DeviceRecords::push_back(const DeviceView& device) {
    const std::string_view fields[kFields] = {device.productCode, device.modelName,
                                              device.macAddress,  device.ipAddress,
                                              device.netmask,     device.interfaceName};
    std::size_t bytes = 0;
    for (const std::string_view field : fields)
        bytes += PackedSize(field);
    char* const start = Reserve(bytes);
    char* at = start;
    for (const std::string_view field : fields)
        at = PackText(at, field);
    starts_.push_back(start);
}

char* DeviceRecords::Reserve(std::size_t bytes) {
    if (bytes > blockFree_) {
        // A pool block, whose pages a burst's receive queue has often touched already, unless
        // one record is larger (texts of megabytes).
        if (bytes > BlockPool::kBlockSize) {
            large_.push_back(std::make_unique_for_overwrite<char[]>(bytes));
            next_ = large_.back().get();
            blockFree_ = bytes;
        } else {
            blocks_.push_back(BlockPool::Take());
            next_ = blocks_.back().get();
            blockFree_ = BlockPool::kBlockSize;
        }
    }
    char* const at = next_;
    next_ += bytes;
    blockFree_ -= bytes;
    return at;
}

DeviceView DeviceRecords::operator[](std::size_t at) const {
    const char* p = starts_[at];
    DeviceView d;
    d.productCode = UnpackText(p);
    d.modelName = UnpackText(p);
    d.macAddress = UnpackText(p);
    d.ipAddress = UnpackText(p);
    d.netmask = UnpackText(p);
    d.interfaceName = UnpackText(p);
    return d;
}

void DeviceRecords::clear() {
    starts_.clear();
    blocks_.clear();
    large_.clear();
    blockFree_ = 0;
    next_ = nullptr;
}

} // namespace vrel
