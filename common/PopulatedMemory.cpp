#include "PopulatedMemory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace vrel {

namespace {

constexpr std::size_t kPageSize = 4096;

} // namespace

void* AllocatePopulated(std::size_t bytes) {
    const std::size_t rounded = (bytes + kPageSize - 1) / kPageSize * kPageSize;
    void* const memory = std::aligned_alloc(kPageSize, rounded);
    if (memory == nullptr)
        throw std::bad_alloc();
#ifdef MADV_POPULATE_WRITE
    // Fails on older kernels, and where the memory cannot be had now; then it faults in later.
    madvise(memory, rounded, MADV_POPULATE_WRITE);
#endif
    return memory;
}

void FreePopulated(void* memory) noexcept {
    std::free(memory);
}

} // namespace vrel
