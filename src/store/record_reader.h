// Reads records from an open file number, buffered, never past a limit.
// Positions are 0-based. Every length read from the file is checked against
// what remains before the limit before anything is allocated for it, so a
// damaged or hostile file ends in a RecordError, never in a huge allocation.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace store {

// A record that does not fit in its region (or a file that cannot be read).
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RecordReader {
 public:
  // Reads the file `number` from `position` up to `limit` (exclusive).
  RecordReader(int number, int64_t position, int64_t limit);

  int number() const { return number_; }
  int64_t position() const { return position_; }
  int64_t limit() const { return limit_; }
  int64_t remaining() const { return limit_ - position_; }
  // Moves to `position` (at most the limit) and narrows or widens the limit.
  void SeekTo(int64_t position);
  void SetLimit(int64_t limit);

  // `count` bytes; RecordError when fewer remain.
  std::string ReadBytes(int64_t count);
  // Up to `count` bytes into `out` (fewer at the limit or the end of the file).
  void ReadInto(std::string& out, int64_t count);
  void Skip(int64_t count);

  int16_t ReadInteger();
  int32_t ReadLong();
  double ReadDouble();

 private:
  // Makes at least `count` bytes (or all that is left) available in buffer_.
  void Fill(int64_t count);

  int number_;
  int64_t position_;
  int64_t limit_;
  std::string buffer_;
  int64_t buffer_start_ = 0;  // file position of buffer_[0]
};

}  // namespace store
