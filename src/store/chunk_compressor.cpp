#include "store/chunk_compressor.h"

#include <span>

#include "contracts/support_objects.h"

namespace store {

ChunkCompressor::ChunkCompressor() : thread_([this] { Run(); }) {}

ChunkCompressor::~ChunkCompressor() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ChunkCompressor::Start(std::string chunk) {
  {
    std::lock_guard lock(mutex_);
    input_ = std::move(chunk);
    output_.reset();
  }
  changed_.notify_all();
}

Bytes ChunkCompressor::Take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return output_.has_value(); });
  Bytes packed = std::move(*output_);
  output_.reset();
  return packed;
}

void ChunkCompressor::Run() {
  // This thread's own crypto service: a service's codec contexts belong to
  // the thread that made it.
  auto crypto = contracts::Support().Crypto();
  for (;;) {
    std::string chunk;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || input_.has_value(); });
      if (!input_) return;
      chunk = std::move(*input_);
      input_.reset();
    }
    Bytes packed = crypto->Compress(std::span(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()));
    {
      std::lock_guard lock(mutex_);
      output_ = std::move(packed);
    }
    changed_.notify_all();
  }
}

}  // namespace store
