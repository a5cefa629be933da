#include "PopulatedMemory.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
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

// A block is mapped before its first write: every page is resident at once. A megabyte is
// fresh memory, not a chunk some earlier allocation touched.
TEST(PopulatedMemory, BlocksAreMappedBeforeTheirFirstWrite) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* const probe =
        mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(probe, MAP_FAILED);
    const bool canMapAhead = madvise(probe, page, MADV_POPULATE_WRITE) == 0;
    munmap(probe, page);
    if (!canMapAhead)
        GTEST_SKIP() << "this kernel does not map pages ahead";
    constexpr std::size_t kBytes = 1024 * 1024;
    void* const block = AllocatePopulated(kBytes);
    std::vector<unsigned char> resident(kBytes / page);
    ASSERT_EQ(mincore(block, kBytes, resident.data()), 0);
    EXPECT_TRUE(
        std::all_of(resident.begin(), resident.end(), [](unsigned char p) { return p & 1; }));
    FreePopulated(block);
}

} // namespace
} // namespace vrel::test
