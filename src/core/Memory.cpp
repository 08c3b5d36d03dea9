#include "Memory.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Memory {

void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void configureAllocator()
{
#if defined(__GLIBC__)
    // glibc raises its mapping threshold to the size of each mapped block
    // that is freed (up to 32 MB), so after the first screen picture the
    // next ones are carved out of a heap, where what is freed mostly stays
    // resident: the idle size then depends on the order in which a run
    // happened to allocate. A fixed threshold keeps big buffers mapped.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Every thread that allocates (the audio server's, the network's, the
    // D-Bus one) would get an arena of its own, each keeping its own free
    // pages; two are plenty for a program that works on one thread.
    mallopt(M_ARENA_MAX, 2);
#endif
}

} // namespace Memory
