// A compressed store body expanded once, on a helper thread, into the work
// file that becomes the expanded store, while the entries play back from the
// bytes already expanded there (still in the page cache). Playback thus
// restores while the body expands, and the expansion with its flush to disk
// overlaps the restore instead of coming first.
//
//   ExpandedBodyStream body(store, ReadChunkTable(store, header_size, length), header_size, work);
//   RecordReader in(body, header_size, body.end());   // waits until bytes are expanded
//   ...
//   if (body.Finish() == ExpandedBodyStream::Outcome::kComplete) ... // work file whole and flushed
//
// The helper goes on expanding after the reader stops early, so the work file
// is whole whatever the playback made of the entries. It uses its own crypto
// service (one per thread).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store/record_reader.h"
#include "store/store_body.h"
#include "store/store_format.h"

namespace store {

// Raised to the reader when the body cannot be expanded up to the bytes it
// needs: a chunk does not expand, or the work file cannot be written.
class BodyUnavailable : public RecordError {
 public:
  using RecordError::RecordError;
};

class ExpandedBodyStream final : public ByteSource {
 public:
  enum class Outcome {
    kComplete,    // every chunk expanded into the work file, which is flushed
    kDamaged,     // a chunk did not expand (or the store could not be read)
    kUnwritable,  // the work file could not be written or flushed
  };

  // Starts expanding the chunks of the store open under `store` into the
  // work file open (read and write) under `work`, from `body_start` on (the
  // work file's header is the caller's). `after_chunk` runs on the helper
  // thread after each chunk is in the work file, with its number from 1.
  ExpandedBodyStream(int store, std::vector<ChunkPlace> chunks, int64_t body_start, int work,
                     std::function<void(int32_t chunk)> after_chunk = {});
  ~ExpandedBodyStream() override;  // waits for the helper
  ExpandedBodyStream(const ExpandedBodyStream&) = delete;
  ExpandedBodyStream& operator=(const ExpandedBodyStream&) = delete;

  // Where the expanded body ends (its length plus `body_start`).
  int64_t end() const { return end_; }

  // Waits until the bytes are expanded. Raises BodyUnavailable when the
  // expansion stopped before them.
  std::string ReadAt(int64_t offset, size_t count) override;
  // True once a read met the end of the expansion (not before: what lies
  // ahead of a damaged chunk plays back).
  bool broken() const override { return hit_failure_; }
  // Waits until the body is expanded up to `end`.
  void Expect(int64_t end) override;

  // Runs on the reading thread each time reading reaches a new chunk.
  void OnChunkReached(std::function<void()> reached) { reached_ = std::move(reached); }

  // Waits for the helper thread and says how the expansion ended.
  Outcome Finish();

 private:
  void Expand(int64_t body_start);
  // Waits until the body is expanded up to `end` (at most end_); raises
  // BodyUnavailable when it never will be.
  void WaitFor(int64_t end);

  const int store_;
  const std::vector<ChunkPlace> chunks_;
  const int work_;
  const std::function<void(int32_t)> after_chunk_;
  int64_t end_ = 0;

  // Shared with the helper thread, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int64_t expanded_end_ = 0;  // the work file holds the body up to here
  bool done_ = false;
  Outcome outcome_ = Outcome::kComplete;

  // The reader's own.
  bool hit_failure_ = false;
  std::vector<int64_t> chunk_ends_;  // where each chunk ends in the body
  size_t chunks_reached_ = 0;
  std::function<void()> reached_;

  std::thread helper_;
};

}  // namespace store
