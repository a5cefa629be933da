#pragma once

#include <cstddef>
#include <memory>

namespace vrel {

// Blocks of 64 KiB that lists growing with a burst hand back and take again, on any thread.
// While a burst of answers arrives the receive queue fills blocks and drains them, and the
// device list behind it grows: with one pool, the pages the queue touched hold devices next.
// A page touched for the first time costs a fault, some 14 us on a virtual machine, more than
// handling an answer does, and a new block is mapped in one go (AllocatePopulated). Blocks
// come out uninitialised; the pool keeps what it is handed back up to a few MiB and frees the
// rest.
class BlockPool {
public:
    static constexpr std::size_t kBlockSize = 64 * 1024;

    struct Return {
        void operator()(char* block) const;
    };
    using Block = std::unique_ptr<char[], Return>;

    // The block handed back last, or a new one.
    static Block Take();
    // Blocks taken and not yet freed, in use or kept in the pool.
    static std::size_t Allocated();
};

} // namespace vrel
