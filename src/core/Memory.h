#pragma once

// Hands memory the program has freed back to the system. After a large
// transient job (a screen picture is tens of megabytes) the allocator keeps
// the freed pages for reuse, and an idle application would go on holding them.
namespace Memory {

void releaseFreedMemory();

} // namespace Memory
