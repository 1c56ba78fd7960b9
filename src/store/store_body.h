// The compressed body of a store file: its chunk table, and the body
// expanded chunk by chunk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "store/record_writer.h"

namespace store {

// Where one chunk's compressed bytes lie and what they expand to.
struct ChunkPlace {
  int64_t offset = 0;  // of the compressed bytes (after the ChunkRecord)
  int32_t compressed_size = 0;
  int32_t expanded_size = 0;
};

// The chunk records of the compressed body of the store open under `number`
// (from `header_size` to `length`), walked without expanding anything.
// Raises RecordError when a record does not fit: a chunk count beyond what
// the file can hold, a record unlike the first, a chunk past the end of the
// file or larger than 524,288 bytes expanded.
std::vector<ChunkPlace> ReadChunkTable(int number, int64_t header_size, int64_t length);

// Expands the compressed body of the store open under `number` (from
// `header_size` to `length`) into `out`. Raises RecordError when a chunk
// record does not fit or a chunk does not expand to its size. `after_chunk`
// hears each chunk's number (from 1) and the position reached.
void ExpandBody(int number, int64_t header_size, int64_t length, RecordWriter& out,
                const std::function<void(int32_t chunk, int64_t position)>& after_chunk);

}  // namespace store
