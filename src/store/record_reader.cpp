#include "store/record_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/fs/file_numbers.h"

namespace store {
namespace {

constexpr int64_t kReadAhead = 64 * 1024;

}  // namespace

std::string FileSource::ReadAt(int64_t offset, size_t count) {
  auto got = platform::fs::ReadAt(number_, offset, count);
  if (!got) throw RecordError("the store file cannot be read");
  return std::move(*got);
}

RecordReader::RecordReader(int number, int64_t position, int64_t limit)
    : file_(number), source_(&file_), position_(position), limit_(std::max(position, limit)), buffer_start_(position) {}

RecordReader::RecordReader(ByteSource& source, int64_t position, int64_t limit)
    : file_(0), source_(&source), position_(position), limit_(std::max(position, limit)), buffer_start_(position) {}

void RecordReader::SeekTo(int64_t position) { position_ = std::clamp<int64_t>(position, 0, limit_); }

void RecordReader::SetLimit(int64_t limit) {
  limit_ = std::max(limit, position_);
}

void RecordReader::Fill(int64_t count) {
  const int64_t buffered_end = buffer_start_ + static_cast<int64_t>(buffer_.size());
  if (position_ >= buffer_start_ && position_ + count <= buffered_end) return;
  const int64_t want = std::min(std::max(count, kReadAhead), limit_ - position_);
  buffer_ = source_->ReadAt(position_, static_cast<size_t>(want));
  buffer_start_ = position_;
}

std::string RecordReader::ReadBytes(int64_t count) {
  if (count < 0 || count > remaining()) throw RecordError("record runs past its end");
  std::string out;
  ReadInto(out, count);
  if (static_cast<int64_t>(out.size()) != count) throw RecordError("the store file ends early");
  return out;
}

void RecordReader::ReadInto(std::string& out, int64_t count) {
  out.clear();
  count = std::clamp<int64_t>(count, 0, remaining());
  if (count == 0) return;
  if (count > kReadAhead) {
    // Large blocks go straight from the source.
    out = source_->ReadAt(position_, static_cast<size_t>(count));
    position_ += static_cast<int64_t>(out.size());
    return;
  }
  Fill(count);
  const int64_t offset = position_ - buffer_start_;
  const int64_t available = std::min<int64_t>(count, static_cast<int64_t>(buffer_.size()) - offset);
  if (available <= 0) return;
  out.assign(buffer_, static_cast<size_t>(offset), static_cast<size_t>(available));
  position_ += available;
}

void RecordReader::Skip(int64_t count) {
  if (count < 0 || count > remaining()) throw RecordError("record runs past its end");
  position_ += count;
}

void RecordReader::Expect(int64_t count) {
  source_->Expect(position_ + std::clamp<int64_t>(count, 0, remaining()));
}

int16_t RecordReader::ReadInteger() {
  const std::string b = ReadBytes(2);
  return static_cast<int16_t>(static_cast<uint8_t>(b[0]) | (static_cast<uint8_t>(b[1]) << 8));
}

int32_t RecordReader::ReadLong() {
  const std::string b = ReadBytes(4);
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[static_cast<size_t>(i)]);
  return static_cast<int32_t>(v);
}

double RecordReader::ReadDouble() {
  const std::string b = ReadBytes(8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[static_cast<size_t>(i)]);
  double d = 0;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

}  // namespace store
