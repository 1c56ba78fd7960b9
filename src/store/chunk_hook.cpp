#include "store/chunk_hook.h"

#include <functional>
#include <utility>

#include "store/file_manager.h"

namespace store {
namespace {

std::function<void(int32_t)>& Hook() {
  static std::function<void(int32_t)> hook;
  return hook;
}

}  // namespace

void SetChunkHookForTesting(std::function<void(int32_t chunk)> hook) { Hook() = std::move(hook); }

void RunChunkHook(int32_t chunk) {
  if (Hook()) Hook()(chunk);
}

}  // namespace store
