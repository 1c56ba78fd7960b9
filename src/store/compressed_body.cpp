// The compressed body: chunks of 524,288 bytes, each a ChunkRecord and the
// crypto service's compressed bytes.
#include <algorithm>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "store/chunk_compressor.h"
#include "store/chunk_hook.h"
#include "store/file_manager.h"
#include "store/replace_store.h"
#include "store/store_body.h"
#include "store/yield.h"
#include "systemlog/system_log.h"

namespace store {

std::vector<ChunkPlace> ReadChunkTable(int number, int64_t header_size, int64_t length) {
  RecordReader in(number, header_size, length);
  const ChunkRecord first = ReadChunkRecord(in);
  // Every chunk takes at least its record: a count beyond that is damage.
  if (first.ChunkCount < 1 || first.ChunkCount > (length - header_size) / kChunkRecordSize) {
    throw RecordError("chunk count");
  }
  std::vector<ChunkPlace> chunks;
  ChunkRecord chunk = first;
  for (int32_t i = 1; i <= first.ChunkCount; ++i) {
    if (i > 1) chunk = ReadChunkRecord(in);
    if (chunk.ChunkCount != first.ChunkCount || chunk.CompressedSize <= 0 || chunk.CompressedSize > in.remaining() ||
        chunk.ExpandedSize <= 0 || chunk.ExpandedSize > kBodyChunkSize) {
      throw RecordError("chunk record");
    }
    chunks.push_back(ChunkPlace{in.position(), chunk.CompressedSize, chunk.ExpandedSize});
    in.Skip(chunk.CompressedSize);
  }
  return chunks;
}

void ExpandBody(int number, int64_t header_size, int64_t length, RecordWriter& out,
                const std::function<void(int32_t chunk, int64_t position)>& after_chunk) {
  auto crypto = contracts::Support().Crypto();
  const std::vector<ChunkPlace> chunks = ReadChunkTable(number, header_size, length);
  int32_t i = 0;
  for (const ChunkPlace& chunk : chunks) {
    ++i;
    auto packed = platform::fs::ReadAt(number, chunk.offset, static_cast<size_t>(chunk.compressed_size));
    if (!packed || static_cast<int64_t>(packed->size()) != chunk.compressed_size) {
      throw RecordError("the store file cannot be read");
    }
    const Bytes bytes = crypto->Decompress(std::span(reinterpret_cast<const uint8_t*>(packed->data()), packed->size()),
                                           static_cast<size_t>(chunk.expanded_size));
    if (bytes.empty()) throw RecordError("chunk does not expand");
    out.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (after_chunk) after_chunk(i, chunk.offset + chunk.compressed_size);
  }
}

void cFileMgr::CompressStore(int32_t hStoreFile, const StoreFileHeader& header, int64_t header_size) {
  const std::string store_path = platform::fs::OpenFilePath(hStoreFile);
  const std::string protected_name = ProtectedName(hStoreFile);
  const int64_t body_length = std::max<int64_t>(0, platform::fs::FileLength(hStoreFile) - header_size);
  // A body of exactly k chunks is k chunks, not k + 1 with an empty last one.
  const int64_t chunk_count = (body_length + kBodyChunkSize - 1) / kBodyChunkSize;
  if (chunk_count > 0x7FFFFFFF) platform::RaiseError(platform::kErrOverflow, {}, "FinalizeStoreFile");

  WorkFile work(WorkFileFor(store_path));
  if (!work.ok()) platform::RaiseError(platform::kErrPathFileAccess, "cannot create " + work.path(), "FinalizeStoreFile");
  {
    RecordWriter out(work.number(), 0);
    std::string head;
    Encode(head, header);
    out.Write(head);
    auto crypto = contracts::Support().Crypto();
    // Chunks go in pairs: the first compressed here, the second meanwhile on
    // the helper thread; both written in order.
    ChunkCompressor helper;
    progress_state_ = {};
    progress_state_.bytes_total = body_length;
    auto read_chunk = [&](int64_t chunk) {
      const int64_t size = std::min(kBodyChunkSize, body_length - chunk * kBodyChunkSize);
      auto bytes = platform::fs::ReadAt(hStoreFile, header_size + chunk * kBodyChunkSize, static_cast<size_t>(size));
      if (!bytes || static_cast<int64_t>(bytes->size()) != size) {
        platform::RaiseError(platform::kErrDeviceIo, "store file cannot be read", "FinalizeStoreFile");
      }
      return std::move(*bytes);
    };
    for (int64_t first = 0; first < chunk_count; first += 2) {
      const std::string raw = read_chunk(first);
      const bool pair = first + 1 < chunk_count;
      int64_t second_size = 0;
      if (pair) {
        std::string second = read_chunk(first + 1);
        second_size = static_cast<int64_t>(second.size());
        helper.Start(std::move(second));
      }
      Bytes packed[2];
      packed[0] = crypto->Compress(std::span(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
      if (pair) packed[1] = helper.Take();
      const int64_t sizes[2] = {static_cast<int64_t>(raw.size()), second_size};
      for (int i = 0; i < (pair ? 2 : 1); ++i) {
        if (packed[i].empty()) {
          // Without a codec the body stays as it is, readable as plain entries.
          StoreFileHeader plain = header;
          plain.Compressed = false;
          std::string plain_head;
          Encode(plain_head, plain);
          platform::fs::WriteAt(hStoreFile, 0, plain_head);
          service::WriteSystemLog("FinalizeStoreFile: compression failed, " + store_path + " stays uncompressed");
          return;
        }
        std::string record;
        Encode(record, ChunkRecord{static_cast<int32_t>(chunk_count), static_cast<int32_t>(packed[i].size()),
                                   static_cast<int32_t>(sizes[i])});
        out.Write(record);
        out.Write(std::string_view(reinterpret_cast<const char*>(packed[i].data()), packed[i].size()));
        progress_state_.bytes_done += sizes[i];
        ReportProgress();
        RunChunkHook(static_cast<int32_t>(first + i + 1));
      }
      YieldToPendingEvents();
    }
    out.Finish();
  }
  work.Close();

  UnprotectFile(protected_name);
  if (!ReplaceStore(work, store_path)) {
    ProtectFile(store_path);
    platform::RaiseError(platform::kErrPathFileAccess, "cannot replace " + store_path, "FinalizeStoreFile");
  }
  work.Keep();
  ProtectFile(store_path);
}

}  // namespace store
