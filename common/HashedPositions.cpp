#include "HashedPositions.h"

#include <algorithm>

namespace vrel {

namespace {

constexpr std::size_t kFirstSlots = 16;

} // namespace

void HashedPositions::Insert(std::size_t hash, std::uint32_t position) {
    if ((used_ + 1) * 4 > slots_.size() * 3)
        Grow();
    Place({Tag(hash), position});
    ++used_;
}

void HashedPositions::Place(const Slot& slot) {
    std::size_t i = slot.tag & Mask();
    while (slots_[i].position != kNone)
        i = (i + 1) & Mask();
    slots_[i] = slot;
}

// The tag is the hash folded to 32 bits, enough to place a slot again without the key.
void HashedPositions::Grow() {
    decltype(slots_) old(slots_.empty() ? kFirstSlots : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
        if (slot.position != kNone)
            Place(slot);
    }
}

void HashedPositions::Clear() {
    // Keeps the array: a list cleared for the next Discover fills up to its old size again.
    std::fill(slots_.begin(), slots_.end(), Slot{});
    used_ = 0;
}

} // namespace vrel
