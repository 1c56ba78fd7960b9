#include "platform/host/memory_policy.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace platform::host {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

// A block of several MiB, freed and asked for again, is served from memory
// the process kept: no mapping of its own, and the freed heap is not handed
// back to the kernel.
TEST(MemoryPolicyTest, ALargeFreedBlockStaysWithTheProcess) {
  if (kOwnAllocator) GTEST_SKIP() << "the sanitizer's allocator ignores the C library's settings";
  KeepFreedMemoryForReuse();
  constexpr std::size_t kSize = 8 * 1024 * 1024;
  const std::size_t mapped_before = mallinfo2().hblkhd;
  char* block = static_cast<char*>(std::malloc(kSize));
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, kSize);
  EXPECT_EQ(mallinfo2().hblkhd, mapped_before) << "the block was given a mapping of its own";
  std::free(block);
  EXPECT_GE(mallinfo2().fordblks, kSize) << "the freed block went back to the kernel";
}

}  // namespace
}  // namespace platform::host
