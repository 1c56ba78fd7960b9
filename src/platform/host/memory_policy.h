// How the process's allocator hands memory back to the kernel.
#pragma once

namespace platform::host {

// Keeps memory a long-running process frees for its next allocations instead
// of returning it to the kernel at once: blocks up to 32 MiB come from the
// heap rather than from mappings of their own, and up to 32 MiB of free heap
// is kept. Every page handed back has to be faulted in again when it is next
// used, and on virtual machines a fault costs about 10 us: a settings
// snapshot of 10,000 settings, whose text and document are made and freed on
// each store, then spent five times as long faulting as working. Call once,
// early in main, before threads start. Does nothing where the C library has
// no such settings.
void KeepFreedMemoryForReuse();

}  // namespace platform::host
