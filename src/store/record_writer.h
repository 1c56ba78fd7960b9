// Writes records to an open file number, buffered. Positions are 0-based.
// `end()` is the furthest byte written so far: where the next entry goes
// once the current one is complete (records rewritten in place, such as a
// header whose length became known, never move it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace store {

class RecordWriter {
 public:
  // Writes to the file `number` from `position` on.
  RecordWriter(int number, int64_t position);
  ~RecordWriter();  // flushes; a failure then is lost (call Finish first)
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  int number() const { return number_; }
  int64_t position() const { return position_ + static_cast<int64_t>(pending_.size()); }
  int64_t end() const;

  // Appends at the current position. Raises a Basic error (57 or 61) when
  // the file cannot be written.
  void Write(std::string_view bytes);
  // Writes `bytes` at `position` (before the current one) and comes back.
  void Rewrite(int64_t position, std::string_view bytes);
  // Forgets everything from `position` on: the next record overwrites it.
  void RewindTo(int64_t position);
  // Writes what is pending and leaves the file number positioned at end().
  void Finish();
  // Writes what is pending and flushes the file to disk: what was written
  // so far survives a crash. Raises a Basic error when it cannot.
  void Commit();

 private:
  void Flush();

  int number_;
  int64_t position_;  // file position of pending_[0]
  int64_t end_;
  std::string pending_;
};

// While set, every write of a RecordWriter fails as on a full disk (a test
// makes a flush fail without filling a disk).
void FailStoreWritesForTesting(bool fail);
// While set, writes succeed but a Commit's sync fails, as when the disk
// reports an error writing back what it had taken.
void FailStoreSyncsForTesting(bool fail);

}  // namespace store
