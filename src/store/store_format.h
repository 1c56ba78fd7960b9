// The records of a store file, field after field, little-endian, no padding:
// Integer 16-bit, Long 32-bit, Boolean an Integer (-1 / 0), Date an 8-byte
// double serial, fixed text padded with spaces, variable text a 16-bit
// length and its bytes, a byte array inside a record a 16-bit dimension count
// (1), a 32-bit element count, a 32-bit lower bound and the bytes.
//
// Encode* append a record to a byte string; Read* take one from a
// RecordReader (record_reader.h), which refuses any length or count that does
// not fit in what remains of the region it reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

class RecordReader;

using Bytes = std::vector<uint8_t>;

inline constexpr std::string_view kFileSignature{"\x1ASFHv002", 8};
inline constexpr std::string_view kEntrySignature{"\x1ASEHv002", 8};
inline constexpr int64_t kTokenIdLength = 32;
inline constexpr int64_t kEntryHeaderSize = 18;
inline constexpr int64_t kChunkRecordSize = 12;
// A file this short holds no header worth reading.
inline constexpr int64_t kSmallestStoreFile = 64;
// Compressed bodies are cut into chunks of this many bytes.
inline constexpr int64_t kBodyChunkSize = 524288;
// The largest struct (its SourceLength) stored, and so expanded or
// decrypted on playback: one limit, so whatever is stored comes back.
inline constexpr int32_t kLargestStruct = 256 * 1024 * 1024;
// File data travel in chunks of this many bytes.
inline constexpr int64_t kFileChunkSize = 32768;
// FullChunks of a file that was moved to the large-file folder.
inline constexpr int32_t kMovedFileChunks = -666;
inline constexpr int64_t kDefaultMaxFileSize = 10000000;

struct StoreFileHeader {
  int32_t EntryCount = 0;
  std::string TokenID;  // as read: 32 characters, padded
  std::string Stamp;
  bool Compressed = false;
};

struct EntryHeader {
  int16_t EntryType = 0;
  int32_t DataLength = -1;
  int32_t EntryNumber = 0;
};

struct KeyRecord {
  int32_t RootKey = 0;
  std::string KeyName;
  int16_t ValueCount = -1;
};

struct ValueRecord {
  int32_t RootKey = 0;
  std::string SubKey;
  std::string ValueName;
  int32_t ValueType = 0;
  Bytes Data;
  int32_t DwordValue = 0;
};

struct StructRecord {
  int16_t StructType = 0;
  int32_t DataLength = -1;
  bool Encrypted = false;
  Bytes Salt = Bytes(16, 0);
  bool Compressed = false;
  int32_t SourceLength = 0;
  std::string Tag;
  Bytes Hash;
};

struct FolderRecord {
  std::string BasePath;
  int32_t FileCount = -1;
};

struct FileRecord {
  std::string RelPath;
  std::string FileName;
  double Modified = 0;
  int16_t Attributes = 0;
  int32_t FullChunks = -1;
  int32_t LastChunkSize = 0;
};

struct ChunkRecord {
  int32_t ChunkCount = 0;
  int32_t CompressedSize = 0;
  int32_t ExpandedSize = 0;
};

// Sizes of the header and of a struct record, for rewriting in place.
int64_t HeaderSize(const StoreFileHeader& header);

// The field encodings. Texts longer than 65,535 bytes cannot be stored:
// EncodeText raises error 5.
void EncodeInteger(std::string& out, int16_t value);
void EncodeLong(std::string& out, int32_t value);
void EncodeBoolean(std::string& out, bool value);
void EncodeDate(std::string& out, double serial);
void EncodeFixedText(std::string& out, std::string_view text, int64_t length);
void EncodeText(std::string& out, std::string_view text);
void EncodeByteArray(std::string& out, const Bytes& bytes, int32_t lower_bound);

void Encode(std::string& out, const StoreFileHeader& header);
void Encode(std::string& out, const EntryHeader& header);
void Encode(std::string& out, const KeyRecord& record);
void Encode(std::string& out, const ValueRecord& record);
void Encode(std::string& out, const StructRecord& record);
void Encode(std::string& out, const FolderRecord& record);
void Encode(std::string& out, const FileRecord& record);
void Encode(std::string& out, const ChunkRecord& record);

// Each reads its record or raises (RecordError, record_reader.h) when the
// region ends first or a length does not fit. The signatures are checked by
// the callers, which log what their reading of a wrong one means.
bool ReadSignature(RecordReader& in, std::string_view signature);
StoreFileHeader ReadStoreFileHeader(RecordReader& in);
EntryHeader ReadEntryHeader(RecordReader& in);
// The signature and header of the next entry, with a body that fits in what
// remains of the region; nullopt for anything else (a read cut short too).
std::optional<EntryHeader> ReadCheckedEntryHeader(RecordReader& in);
KeyRecord ReadKeyRecord(RecordReader& in);
ValueRecord ReadValueRecord(RecordReader& in);
StructRecord ReadStructRecord(RecordReader& in);
FolderRecord ReadFolderRecord(RecordReader& in);
FileRecord ReadFileRecord(RecordReader& in);
ChunkRecord ReadChunkRecord(RecordReader& in);

}  // namespace store
