// A helper thread that compresses one body chunk at a time with its own
// crypto service, so that a finalize compresses two chunks at once: one on
// the calling thread, one here. The output is the same bytes either way
// (each chunk is compressed on its own).
//
//   ChunkCompressor helper;
//   helper.Start(std::move(second));     // compresses in the background
//   Bytes first_packed = crypto->Compress(first);
//   Bytes second_packed = helper.Take(); // waits for it
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "store/store_format.h"

namespace store {

class ChunkCompressor {
 public:
  ChunkCompressor();
  ~ChunkCompressor();  // stops the thread (after the chunk it holds)
  ChunkCompressor(const ChunkCompressor&) = delete;
  ChunkCompressor& operator=(const ChunkCompressor&) = delete;

  // Hands over the next chunk; the one before must have been taken.
  void Start(std::string chunk);
  // The compressed chunk (empty when the codec failed); waits for it.
  Bytes Take();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<std::string> input_;
  std::optional<Bytes> output_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace store
