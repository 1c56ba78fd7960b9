#include <cstring>

#include "platform/basic/err.h"
#include "store/record_reader.h"
#include "store/store_format.h"

namespace store {
namespace {

constexpr int32_t kSaltLowerBound = 1;
constexpr int32_t kHashLowerBound = 1;
constexpr int32_t kDataLowerBound = 0;

void PutLittleEndian(std::string& out, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string ReadText(RecordReader& in) {
  const auto length = static_cast<uint16_t>(in.ReadInteger());
  return in.ReadBytes(length);
}

Bytes ReadByteArray(RecordReader& in) {
  const int16_t dimensions = in.ReadInteger();
  // An array that was never dimensioned is written as its count alone.
  if (dimensions == 0) return {};
  if (dimensions != 1) throw RecordError("byte array of more than one dimension");
  const int32_t count = in.ReadLong();
  in.ReadLong();  // lower bound: the bytes are the same whatever it is
  if (count < 0 || count > in.remaining()) throw RecordError("byte array runs past its record");
  const std::string bytes = in.ReadBytes(count);
  return Bytes(bytes.begin(), bytes.end());
}

bool ReadBoolean(RecordReader& in) { return in.ReadInteger() != 0; }

}  // namespace

int64_t HeaderSize(const StoreFileHeader& header) { return 58 + static_cast<int64_t>(header.Stamp.size()); }

void EncodeInteger(std::string& out, int16_t value) { PutLittleEndian(out, static_cast<uint16_t>(value), 2); }
void EncodeLong(std::string& out, int32_t value) { PutLittleEndian(out, static_cast<uint32_t>(value), 4); }
void EncodeBoolean(std::string& out, bool value) { EncodeInteger(out, value ? -1 : 0); }

void EncodeDate(std::string& out, double serial) {
  uint64_t bits = 0;
  std::memcpy(&bits, &serial, sizeof bits);
  PutLittleEndian(out, bits, 8);
}

void EncodeFixedText(std::string& out, std::string_view text, int64_t length) {
  const std::string_view cut = text.substr(0, static_cast<size_t>(length));
  out.append(cut);
  out.append(static_cast<size_t>(length) - cut.size(), ' ');
}

void EncodeText(std::string& out, std::string_view text) {
  if (text.size() > 0xFFFF) platform::RaiseError(platform::kErrInvalidCall, "text too long for a store record");
  PutLittleEndian(out, text.size(), 2);
  out.append(text);
}

void EncodeByteArray(std::string& out, const Bytes& bytes, int32_t lower_bound) {
  if (bytes.size() > 0x7FFFFFFF) platform::RaiseError(platform::kErrInvalidCall, "byte array too long");
  EncodeInteger(out, 1);
  EncodeLong(out, static_cast<int32_t>(bytes.size()));
  EncodeLong(out, bytes.empty() ? 0 : lower_bound);
  out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void Encode(std::string& out, const StoreFileHeader& header) {
  out.append(kFileSignature);
  EncodeLong(out, header.EntryCount);
  EncodeFixedText(out, header.TokenID, kTokenIdLength);
  EncodeText(out, header.Stamp);
  EncodeBoolean(out, header.Compressed);
  EncodeLong(out, 0);
  EncodeInteger(out, 0);
  EncodeText(out, "");
  EncodeText(out, "");
}

void Encode(std::string& out, const EntryHeader& header) {
  out.append(kEntrySignature);
  EncodeInteger(out, header.EntryType);
  EncodeLong(out, header.DataLength);
  EncodeLong(out, header.EntryNumber);
}

void Encode(std::string& out, const KeyRecord& record) {
  EncodeLong(out, record.RootKey);
  EncodeText(out, record.KeyName);
  EncodeInteger(out, record.ValueCount);
}

void Encode(std::string& out, const ValueRecord& record) {
  EncodeLong(out, record.RootKey);
  EncodeText(out, record.SubKey);
  EncodeText(out, record.ValueName);
  EncodeLong(out, record.ValueType);
  EncodeByteArray(out, record.Data, kDataLowerBound);
  EncodeLong(out, record.DwordValue);
}

void Encode(std::string& out, const StructRecord& record) {
  EncodeInteger(out, record.StructType);
  EncodeLong(out, record.DataLength);
  EncodeBoolean(out, record.Encrypted);
  EncodeByteArray(out, record.Salt, kSaltLowerBound);
  EncodeBoolean(out, record.Compressed);
  EncodeLong(out, record.SourceLength);
  EncodeText(out, record.Tag);
  EncodeByteArray(out, record.Hash, kHashLowerBound);
}

void Encode(std::string& out, const FolderRecord& record) {
  EncodeText(out, record.BasePath);
  EncodeLong(out, record.FileCount);
}

void Encode(std::string& out, const FileRecord& record) {
  EncodeText(out, record.RelPath);
  EncodeText(out, record.FileName);
  EncodeDate(out, record.Modified);
  EncodeInteger(out, record.Attributes);
  EncodeLong(out, record.FullChunks);
  EncodeLong(out, record.LastChunkSize);
}

void Encode(std::string& out, const ChunkRecord& record) {
  EncodeLong(out, record.ChunkCount);
  EncodeLong(out, record.CompressedSize);
  EncodeLong(out, record.ExpandedSize);
}

bool ReadSignature(RecordReader& in, std::string_view signature) {
  if (in.remaining() < static_cast<int64_t>(signature.size())) return false;
  return in.ReadBytes(static_cast<int64_t>(signature.size())) == signature;
}

StoreFileHeader ReadStoreFileHeader(RecordReader& in) {
  StoreFileHeader header;
  header.EntryCount = in.ReadLong();
  header.TokenID = in.ReadBytes(kTokenIdLength);
  header.Stamp = ReadText(in);
  header.Compressed = ReadBoolean(in);
  in.ReadLong();
  in.ReadInteger();
  ReadText(in);
  ReadText(in);
  return header;
}

EntryHeader ReadEntryHeader(RecordReader& in) {
  EntryHeader header;
  header.EntryType = in.ReadInteger();
  header.DataLength = in.ReadLong();
  header.EntryNumber = in.ReadLong();
  return header;
}

std::optional<EntryHeader> ReadCheckedEntryHeader(RecordReader& in) {
  try {
    if (!ReadSignature(in, kEntrySignature)) return std::nullopt;
    const EntryHeader entry = ReadEntryHeader(in);
    // A body that does not fit in the file is as wrong as its signature.
    if (entry.DataLength < 0 || entry.DataLength > in.remaining()) return std::nullopt;
    return entry;
  } catch (const RecordError&) {
    return std::nullopt;
  }
}

KeyRecord ReadKeyRecord(RecordReader& in) {
  KeyRecord record;
  record.RootKey = in.ReadLong();
  record.KeyName = ReadText(in);
  record.ValueCount = in.ReadInteger();
  return record;
}

ValueRecord ReadValueRecord(RecordReader& in) {
  ValueRecord record;
  record.RootKey = in.ReadLong();
  record.SubKey = ReadText(in);
  record.ValueName = ReadText(in);
  record.ValueType = in.ReadLong();
  record.Data = ReadByteArray(in);
  record.DwordValue = in.ReadLong();
  return record;
}

StructRecord ReadStructRecord(RecordReader& in) {
  StructRecord record;
  record.StructType = in.ReadInteger();
  record.DataLength = in.ReadLong();
  record.Encrypted = ReadBoolean(in);
  record.Salt = ReadByteArray(in);
  record.Compressed = ReadBoolean(in);
  record.SourceLength = in.ReadLong();
  record.Tag = ReadText(in);
  record.Hash = ReadByteArray(in);
  return record;
}

FolderRecord ReadFolderRecord(RecordReader& in) {
  FolderRecord record;
  record.BasePath = ReadText(in);
  record.FileCount = in.ReadLong();
  return record;
}

FileRecord ReadFileRecord(RecordReader& in) {
  FileRecord record;
  record.RelPath = ReadText(in);
  record.FileName = ReadText(in);
  record.Modified = in.ReadDouble();
  record.Attributes = in.ReadInteger();
  record.FullChunks = in.ReadLong();
  record.LastChunkSize = in.ReadLong();
  return record;
}

ChunkRecord ReadChunkRecord(RecordReader& in) {
  ChunkRecord record;
  record.ChunkCount = in.ReadLong();
  record.CompressedSize = in.ReadLong();
  record.ExpandedSize = in.ReadLong();
  return record;
}

}  // namespace store
