#pragma once
// Faulting memory in ahead of use. On some virtual machines every first touch of a page
// costs tens of microseconds; asking the system for a whole range at once costs a small
// part of that. The import fills lists of many megabytes from empty, so it asks first.
#include <cstddef>
#include <cstdint>
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

} // namespace vexa
