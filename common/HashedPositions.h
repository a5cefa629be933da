#pragma once

#include "PopulatedMemory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vrel {

// Positions in a list the caller keeps, found by the hash of a key the caller stores at each
// position. The keys are never copied: a lookup hands each candidate position to the caller's
// comparison. One flat array of 8-byte slots, probed linearly, at most three quarters full:
// ten thousand entries cost some 32 pages, where a node-based set costs a node per entry in
// fresh memory and a cache miss per node.
class HashedPositions {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    // The position whose key equal(position) accepts among those inserted with this hash, or
    // kNone.
    template <class Equal> std::uint32_t Find(std::size_t hash, Equal&& equal) const {
        if (slots_.empty())
            return kNone;
        const std::uint32_t tag = Tag(hash);
        for (std::size_t i = tag & Mask();; i = (i + 1) & Mask()) {
            const Slot& slot = slots_[i];
            if (slot.position == kNone)
                return kNone;
            if (slot.tag == tag && equal(slot.position))
                return slot.position;
        }
    }
    // Adds a position whose key is not in the table yet. position must not be kNone.
    void Insert(std::size_t hash, std::uint32_t position);
    void Clear();
    std::size_t Size() const { return used_; }

private:
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t position = kNone;
    };

    static std::uint32_t Tag(std::size_t hash) {
        return static_cast<std::uint32_t>(hash ^ (static_cast<std::uint64_t>(hash) >> 32));
    }
    std::size_t Mask() const { return slots_.size() - 1; }
    void Place(const Slot& slot);
    void Grow();

    // A power of two in size, or empty. Every slot is written when the array is made.
    std::vector<Slot, PopulatingAllocator<Slot>> slots_;
    std::size_t used_ = 0;
};

} // namespace vrel
