#include "PopulatedMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vrel::test {
namespace {

// Arrays below, at and above the size from which memory is mapped at once, grown one element
// at a time across it and built at their size: every element keeps its value, the large ones
// are page-aligned, and each is freed the way it was allocated (a sanitizer build checks).
TEST(PopulatedMemory, ArraysOnBothSidesOfTheThresholdHoldTheirValues) {
    constexpr std::size_t kThreshold = kPopulateFromBytes / sizeof(std::uint64_t);
    for (const std::size_t size :
         {std::size_t{1}, kThreshold - 1, kThreshold, 3 * kThreshold + 5}) {
        SCOPED_TRACE(size);
        std::vector<std::uint64_t, PopulatingAllocator<std::uint64_t>> grown;
        for (std::size_t i = 0; i < size; ++i)
            grown.push_back(i * 2654435761u);
        const std::vector<std::uint64_t, PopulatingAllocator<std::uint64_t>> built(size, 7);
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_EQ(grown[i], i * 2654435761u);
            ASSERT_EQ(built[i], 7u);
        }
        if (size >= kThreshold) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(built.data()) % 4096, 0u);
        }
    }
}

} // namespace
} // namespace vrel::test
