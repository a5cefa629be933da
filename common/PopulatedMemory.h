#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace vrel {

// Fresh memory that is written from end to end as soon as it is taken (a table initialised on
// allocation, a block filled from its start), mapped in one system call rather than by a page
// fault per page. On a virtual machine a fault is a trip through the hypervisor, some 14 us;
// mapping 16 pages at once costs about 6 us a page. Blocks are page-aligned and whole pages;
// on a kernel that cannot map ahead (before 5.14) the pages fault in as usual.
void* AllocatePopulated(std::size_t bytes);
void FreePopulated(void* memory) noexcept;

// From this size on it pays: a smaller array shares its pages with other allocations.
inline constexpr std::size_t kPopulateFromBytes = 64 * 1024;

// A standard allocator that maps arrays of kPopulateFromBytes and more at once.
template <class T> struct PopulatingAllocator {
    using value_type = T;

    PopulatingAllocator() = default;
    template <class U> PopulatingAllocator(const PopulatingAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n * sizeof(T) < kPopulateFromBytes)
            return std::allocator<T>().allocate(n);
        return static_cast<T*>(AllocatePopulated(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kPopulateFromBytes)
            std::allocator<T>().deallocate(p, n);
        else
            FreePopulated(p);
    }
    template <class U> bool operator==(const PopulatingAllocator<U>&) const { return true; }
};

} // namespace vrel
