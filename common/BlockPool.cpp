#include "BlockPool.h"

#include "PopulatedMemory.h"

#include <mutex>
#include <vector>

namespace vrel {

namespace {

// 4 MiB: a queue of several thousand answers and the list they become.
constexpr std::size_t kKeptBlocks = 64;

struct Pool {
    // Room for every block kept, so that handing one back never allocates.
    Pool() { kept.reserve(kKeptBlocks); }

    std::mutex mutex;
    std::vector<char*> kept; // the most recently returned last: its pages are warmest
    std::size_t allocated = 0;
};

// Never destroyed: lists that are themselves static hand their blocks back during exit.
Pool& ThePool() {
    static Pool* const pool = new Pool;
    return *pool;
}

} // namespace

BlockPool::Block BlockPool::Take() {
    Pool& pool = ThePool();
    {
        const std::lock_guard lock(pool.mutex);
        if (!pool.kept.empty()) {
            char* const block = pool.kept.back();
            pool.kept.pop_back();
            return Block(block);
        }
        ++pool.allocated;
    }
    try {
        return Block(static_cast<char*>(AllocatePopulated(kBlockSize)));
    } catch (...) {
        const std::lock_guard lock(pool.mutex);
        --pool.allocated;
        throw;
    }
}

void BlockPool::Return::operator()(char* block) const {
    Pool& pool = ThePool();
    {
        const std::lock_guard lock(pool.mutex);
        if (pool.kept.size() < kKeptBlocks) {
            pool.kept.push_back(block);
            return;
        }
        --pool.allocated;
    }
    FreePopulated(block);
}

std::size_t BlockPool::Allocated() {
    Pool& pool = ThePool();
    const std::lock_guard lock(pool.mutex);
    return pool.allocated;
}

} // namespace vrel
