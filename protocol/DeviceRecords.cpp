#include "DeviceRecords.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vrel {

namespace {

// Large enough that the block allocations are few, small enough that the last, partly used
// block wastes little.
constexpr std::size_t kBlockBytes = 64 * 1024;

// A text is stored behind its length: one byte for the short texts devices send, or this
// marker and four bytes for a longer one.
constexpr unsigned char kLongText = 0xFF;

constexpr std::size_t kFields = 6;

std::size_t StoredSize(std::string_view text) {
    return (text.size() < kLongText ? 1 : 1 + sizeof(std::uint32_t)) + text.size();
}

char* Store(char* at, std::string_view text) {
    if (text.size() < kLongText) {
        *at++ = static_cast<char>(text.size());
    } else {
        *at++ = static_cast<char>(kLongText);
        const auto size = static_cast<std::uint32_t>(text.size());
        std::memcpy(at, &size, sizeof size);
        at += sizeof size;
    }
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

std::string_view Load(const char*& at) {
    std::uint32_t size = static_cast<unsigned char>(*at++);
    if (size == kLongText) {
        std::memcpy(&size, at, sizeof size);
        at += sizeof size;
    }
    const std::string_view text(at, size);
    at += size;
    return text;
}

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
        bytes += StoredSize(field);
    char* const start = Reserve(bytes);
    char* at = start;
    for (const std::string_view field : fields)
        at = Store(at, field);
    starts_.push_back(start);
}

char* DeviceRecords::Reserve(std::size_t bytes) {
    if (bytes > blockFree_) {
        const std::size_t size = std::max(bytes, kBlockBytes);
        // Not zeroed: a page is first touched when a record is written into it.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        next_ = blocks_.back().get();
        blockFree_ = size;
    }
    char* const at = next_;
    next_ += bytes;
    blockFree_ -= bytes;
    return at;
}

DeviceView DeviceRecords::operator[](std::size_t at) const {
    const char* p = starts_[at];
    DeviceView d;
    d.productCode = Load(p);
    d.modelName = Load(p);
    d.macAddress = Load(p);
    d.ipAddress = Load(p);
    d.netmask = Load(p);
    d.interfaceName = Load(p);
    return d;
}

void DeviceRecords::clear() {
    starts_.clear();
    blocks_.clear();
    blockFree_ = 0;
    next_ = nullptr;
}

} // namespace vrel
