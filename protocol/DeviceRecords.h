#pragma once

#include "BlockPool.h"
#include "DiscoveredDevice.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

namespace vrel {

// The devices of a list, their texts packed one after another (PackText) into large blocks: about
// the size of the texts per device, where six strings take 192 bytes before any text is longer than
// a few characters. A burst of ten thousand answers is paid for in fresh pages, each a page fault
// that costs more than handling an answer; this keeps those few. Devices are handed out as views,
// valid until the list is cleared or destroyed; appending does not move what is stored.
class DeviceRecords {
public:
    // What a range-for over the list needs: each device as a view.
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = DeviceView;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = DeviceView;

        const_iterator(const DeviceRecords* records, std::size_t at) : records_(records), at_(at) {}
        DeviceView operator*() const { return (*records_)[at_]; }
        const_iterator& operator++() { return ++at_, *this; }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at_ == b.at_;
        }

    private:
        const DeviceRecords* records_;
        std::size_t at_;
    };
    using value_type = DeviceView;

    DeviceRecords() = default;
    DeviceRecords(std::initializer_list<DiscoveredDevice> devices);
    // A copy packs the devices anew; views stay with the list they came from.
    DeviceRecords(const DeviceRecords& other);
    DeviceRecords& operator=(const DeviceRecords& other);
    DeviceRecords(DeviceRecords&&) = default;
    DeviceRecords& operator=(DeviceRecords&&) = default;

    void push_back(const DeviceView& device);
    void clear();

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    DeviceView operator[](std::size_t at) const;
    DeviceView back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    char* Reserve(std::size_t bytes);

    std::vector<BlockPool::Block> blocks_;
    std::vector<std::unique_ptr<char[]>> large_; // records larger than a block, one each
    std::size_t blockFree_ = 0;                  // bytes left at the end of the last block
    char* next_ = nullptr;                       // where the next record goes in the last block
    // Where each device's record begins. A deque: it grows without moving, in small blocks.
    std::deque<const char*> starts_;
};

} // namespace vrel
