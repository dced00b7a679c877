#pragma once

namespace platform {

// Lets this process keep the memory it frees for its next allocations instead of handing
// it back to the system at once: blocks below 4 MB come from the process's heaps, and a
// heap keeps up to 8 MB free at its top. Work that allocates and frees the same large
// buffers file after file on several threads (the code conversion: the text read, decoded,
// its line ends made and encoded, each some hundred kilobytes) otherwise gets fresh pages
// for every file, each a page fault, and makes every thread's processor drop its address
// cache whenever a heap hands pages back. Called once at start, before any thread.
void KeepFreedMemoryForReuse();

} // namespace platform
