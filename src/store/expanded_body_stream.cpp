#include "store/expanded_body_stream.h"

#include <algorithm>
#include <span>

#include "contracts/support_objects.h"
#include "platform/fs/file_numbers.h"

namespace store {

ExpandedBodyStream::ExpandedBodyStream(int store, std::vector<ChunkPlace> chunks, int64_t body_start, int work,
                                       std::function<void(int32_t chunk)> after_chunk)
    : store_(store), chunks_(std::move(chunks)), work_(work), after_chunk_(std::move(after_chunk)) {
  end_ = body_start;
  for (const ChunkPlace& chunk : chunks_) {
    end_ += chunk.expanded_size;
    chunk_ends_.push_back(end_);
  }
  expanded_end_ = body_start;
  helper_ = std::thread([this, body_start] { Expand(body_start); });
}

ExpandedBodyStream::~ExpandedBodyStream() {
  if (helper_.joinable()) helper_.join();
}

void ExpandedBodyStream::Expand(int64_t body_start) {
  // This thread's own crypto service: the reader's may be in use meanwhile
  // (struct entries), and a service belongs to one thread.
  auto crypto = contracts::Support().Crypto();
  int64_t position = body_start;
  Outcome outcome = Outcome::kComplete;
  int32_t number = 0;
  for (const ChunkPlace& chunk : chunks_) {
    ++number;
    auto packed = platform::fs::ReadAt(store_, chunk.offset, static_cast<size_t>(chunk.compressed_size));
    if (!packed || static_cast<int64_t>(packed->size()) != chunk.compressed_size) {
      outcome = Outcome::kDamaged;
      break;
    }
    const Bytes bytes = crypto->Decompress(std::span(reinterpret_cast<const uint8_t*>(packed->data()), packed->size()),
                                           static_cast<size_t>(chunk.expanded_size));
    if (bytes.empty()) {
      outcome = Outcome::kDamaged;
      break;
    }
    if (!platform::fs::WriteAt(work_, position, std::span(bytes.data(), bytes.size()))) {
      outcome = Outcome::kUnwritable;
      break;
    }
    position += static_cast<int64_t>(bytes.size());
    {
      std::lock_guard lock(mutex_);
      expanded_end_ = position;
    }
    changed_.notify_all();
    if (after_chunk_) after_chunk_(number);
  }
  // The expanded store is put in place by a rename: its bytes must be on
  // disk first. Flushing here overlaps the wait with the reader's work.
  if (outcome == Outcome::kComplete && !platform::fs::SyncFile(work_)) outcome = Outcome::kUnwritable;
  {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
    done_ = true;
  }
  changed_.notify_all();
}

void ExpandedBodyStream::WaitFor(int64_t end) {
  end = std::min(end, end_);
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return expanded_end_ >= end || done_; });
  if (expanded_end_ >= end) return;
  lock.unlock();
  hit_failure_ = true;
  throw BodyUnavailable("the compressed body cannot be expanded this far");
}

std::string ExpandedBodyStream::ReadAt(int64_t offset, size_t count) {
  const int64_t want_end = std::min<int64_t>(end_, offset + static_cast<int64_t>(std::min<size_t>(count, INT32_MAX)));
  if (want_end <= offset) return {};
  WaitFor(want_end);
  while (chunks_reached_ < chunk_ends_.size() && chunk_ends_[chunks_reached_] <= want_end) {
    ++chunks_reached_;
    if (reached_) reached_();
  }
  auto got = platform::fs::ReadAt(work_, offset, static_cast<size_t>(want_end - offset));
  if (!got || static_cast<int64_t>(got->size()) != want_end - offset) {
    hit_failure_ = true;
    throw BodyUnavailable("the expanded body cannot be read back");
  }
  return std::move(*got);
}

void ExpandedBodyStream::Expect(int64_t end) { WaitFor(end); }

ExpandedBodyStream::Outcome ExpandedBodyStream::Finish() {
  if (helper_.joinable()) helper_.join();
  std::lock_guard lock(mutex_);
  return outcome_;
}

}  // namespace store
