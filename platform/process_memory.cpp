#include "platform/process_memory.h"

#include <malloc.h>

namespace platform {

namespace {

// The largest block that the heaps serve; larger ones are mapped and unmapped alone.
constexpr int HeapBlockMaxBytes = 4 << 20;
// The free memory that a heap keeps at its top before it hands the rest back.
constexpr int HeapKeptFreeBytes = 8 << 20;

} // namespace

void KeepFreedMemoryForReuse()
{
    // Without these, glibc hands back every free top above twice the largest block freed
    // so far and maps blocks above 128 kB on their own until it has freed one.
    ::mallopt(M_MMAP_THRESHOLD, HeapBlockMaxBytes);
    ::mallopt(M_TRIM_THRESHOLD, HeapKeptFreeBytes);
}

} // namespace platform
