#pragma once
// Faulting memory in ahead of use. On some virtual machines every first touch of a page
// costs tens of microseconds; asking the system for a whole range at once costs a small
// part of that. The import fills lists of many megabytes from empty, so it asks first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

namespace vexa {

// Makes the pages under [p, p + bytes) present and writable. Only advice: where the system
// does not know it, the pages fault in one by one as before. The range must lie in memory
// the caller owns (the pages it touches at both ends are then mapped too).
inline void prefault(const void* p, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    if (!p || bytes < (std::size_t(64) << 10)) // not worth a system call
        return;
    static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
    std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + bytes + page - 1) & ~(page - 1);
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)p;
    (void)bytes;
#endif
}

// The unused capacity of a vector or string, faulted in.
template <typename C> void prefaultCapacity(const C& c) {
    prefault(c.data() + c.size(), (c.capacity() - c.size()) * sizeof(*c.data()));
}

// Grows the heap by about the given number of bytes, faulted in, and keeps the heap from
// giving memory back for the rest of the process: the allocations of what follows then land
// on pages that are already there. Large pages are asked for where the system gives them on
// request: a program that fills tens of megabytes with small blocks spends most of its time
// on page faults and address translation otherwise. Meant for a moment when the process
// would otherwise only wait, or before a library that allocates a lot.
inline void growHeap(std::size_t bytes) {
#if defined(__GLIBC__) && defined(M_TRIM_THRESHOLD)
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // Large lists come from the heap too (up to the largest size malloc allows here), so
    // they find its pages ready instead of mappings of their own that fault page by page.
    // Blocks below that size come from the heap; freed, they join its top again.
    std::size_t block =
        ::mallopt(M_MMAP_THRESHOLD, 32 << 20) ? std::size_t(16) << 20 : std::size_t(120) << 10;
    // A small request is rounded up to a large page, not to a whole block.
    constexpr std::size_t kLargePage = std::size_t(2) << 20;
    block = std::min(block, (bytes + kLargePage - 1) / kLargePage * kLargePage);
    if (block == 0)
        return;
    std::vector<void*> blocks;
    blocks.reserve(bytes / block + 1);
    for (std::size_t done = 0; done < bytes; done += block) {
        void* p = std::malloc(block);
        if (!p)
            break;
        blocks.push_back(p);
#ifdef MADV_HUGEPAGE
        static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
        std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + block) & ~(page - 1);
        if (end > begin)
            ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
        prefault(p, block);
    }
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
        std::free(*it);
#else
    (void)bytes;
#endif
}

} // namespace vexa
