#include "store/record_writer.h"

#include <algorithm>
#include <atomic>

#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"

namespace store {
namespace {

constexpr size_t kFlushSize = 256 * 1024;

std::atomic<bool> fail_writes{false};
std::atomic<bool> fail_syncs{false};

bool WriteBytes(int number, int64_t position, std::string_view bytes) {
  if (fail_writes.load()) return false;
  return platform::fs::WriteAt(number, position, bytes);
}

}  // namespace

void FailStoreWritesForTesting(bool fail) { fail_writes = fail; }
void FailStoreSyncsForTesting(bool fail) { fail_syncs = fail; }

RecordWriter::RecordWriter(int number, int64_t position) : number_(number), position_(position), end_(position) {}

RecordWriter::~RecordWriter() { platform::Quietly([&] { Flush(); }); }

int64_t RecordWriter::end() const { return std::max(end_, position()); }

void RecordWriter::Flush() {
  if (pending_.empty()) return;
  if (!WriteBytes(number_, position_, pending_)) {
    pending_.clear();
    platform::RaiseError(platform::fs::IsFileOpen(number_) ? platform::kErrDeviceIo : platform::kErrBadFileNumber);
  }
  position_ += static_cast<int64_t>(pending_.size());
  end_ = std::max(end_, position_);
  pending_.clear();
}

void RecordWriter::Write(std::string_view bytes) {
  if (pending_.size() + bytes.size() > kFlushSize) {
    Flush();
    if (bytes.size() > kFlushSize) {
      if (!WriteBytes(number_, position_, bytes)) platform::RaiseError(platform::kErrDeviceIo);
      position_ += static_cast<int64_t>(bytes.size());
      end_ = std::max(end_, position_);
      return;
    }
  }
  pending_.append(bytes);
}

void RecordWriter::Rewrite(int64_t position, std::string_view bytes) {
  Flush();
  if (!WriteBytes(number_, position, bytes)) platform::RaiseError(platform::kErrDeviceIo);
}

void RecordWriter::RewindTo(int64_t position) {
  const int64_t pending_end = this->position();
  if (position >= position_ && position <= pending_end) {
    pending_.resize(static_cast<size_t>(position - position_));
  } else {
    Flush();
    position_ = position;
  }
  end_ = position;
}

void RecordWriter::Commit() {
  Flush();
  if (fail_syncs.load() || !platform::fs::SyncFile(number_)) platform::RaiseError(platform::kErrDeviceIo);
}

void RecordWriter::Finish() {
  Flush();
  platform::fs::SeekTo(number_, end());
}

}  // namespace store
