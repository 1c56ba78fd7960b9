// The compressed body of a store file, expanded chunk by chunk.
#pragma once

#include <cstdint>
#include <functional>

#include "store/record_writer.h"

namespace store {

// Expands the compressed body of the store open under `number` (from
// `header_size` to `length`) into `out`. Raises RecordError when a chunk
// record does not fit or a chunk does not expand to its size. `after_chunk`
// hears each chunk's number (from 1) and the position reached.
void ExpandBody(int number, int64_t header_size, int64_t length, RecordWriter& out,
                const std::function<void(int32_t chunk, int64_t position)>& after_chunk);

}  // namespace store
