#pragma once

// Hands memory the program has freed back to the system. After a large
// transient job (a screen picture is tens of megabytes) the allocator keeps
// the freed pages for reuse, and an idle application would go on holding them.
namespace Memory {

void releaseFreedMemory();

// Sets the allocator up for a long-running program whose big buffers come
// and go (screen pictures, decoded audio): such buffers are mapped apart and
// given back when freed, and the threads share a few arenas. Called once,
// first thing in main().
void configureAllocator();

} // namespace Memory
