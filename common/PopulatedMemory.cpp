#include "PopulatedMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace vrel {

void* AllocatePopulated(std::size_t bytes) {
    // The kernel maps whole pages from a page boundary on; some machines have pages of 16 or
    // 64 KiB.
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t rounded = (bytes + page - 1) / page * page;
    void* const memory = std::aligned_alloc(page, rounded);
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
