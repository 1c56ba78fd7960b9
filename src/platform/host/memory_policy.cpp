#include "platform/host/memory_policy.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform::host {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  constexpr int kKept = 32 * 1024 * 1024;
  // Setting either turns off glibc's own adjustment of both, which only
  // raises the mapping threshold after a mapped block was freed once.
  mallopt(M_MMAP_THRESHOLD, kKept);
  mallopt(M_TRIM_THRESHOLD, kKept);
#endif
}

}  // namespace platform::host
