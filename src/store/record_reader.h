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

// Where a reader's bytes come from: an open file, or a stream of bytes that
// arrive while they are read (a compressed body as it expands).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `count` bytes at `offset`, fewer only at the end of the bytes.
  // Raises RecordError (or a subclass) when they cannot be had.
  virtual std::string ReadAt(int64_t offset, size_t count) = 0;
  // True once the bytes turned out damaged: whatever read them stops.
  virtual bool broken() const { return false; }
  // Makes sure the bytes up to `end` can be had before a step acts on any of
  // them (a file is not emptied for data that turn out damaged). Raises
  // RecordError when they cannot; a source may also pass over a range too
  // large to hold.
  virtual void Expect(int64_t end) { (void)end; }
};

// An open file by its number.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(int number) : number_(number) {}
  std::string ReadAt(int64_t offset, size_t count) override;

 private:
  int number_;
};

class RecordReader {
 public:
  // Reads the file `number` from `position` up to `limit` (exclusive).
  RecordReader(int number, int64_t position, int64_t limit);
  // Reads `source`, which must outlive the reader. Reads go forward only
  // (every read starts at or after the previous read's start), so a source
  // may drop what lies behind.
  RecordReader(ByteSource& source, int64_t position, int64_t limit);
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

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
  // The source's Expect for the next `count` bytes (at most to the limit).
  void Expect(int64_t count);

  int16_t ReadInteger();
  int32_t ReadLong();
  double ReadDouble();

 private:
  // Makes at least `count` bytes (or all that is left) available in buffer_.
  void Fill(int64_t count);

  FileSource file_;
  ByteSource* source_;
  int64_t position_;
  int64_t limit_;
  std::string buffer_;
  int64_t buffer_start_ = 0;  // file position of buffer_[0]
};

}  // namespace store
