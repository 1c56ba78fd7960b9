// The test hook called after each compressed or expanded chunk.
#pragma once

#include <cstdint>

namespace store {

void RunChunkHook(int32_t chunk);

}  // namespace store
