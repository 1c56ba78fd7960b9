// Store-file bytes the store targets put around the fuzzer's input, so that
// the readers behind a valid header and behind valid compressed chunks are
// reached as often as the header checks themselves.
//
// The first input byte chooses what the rest is (StoreFileBytes):
//   0  the store file's bytes as they are
//   1  the entries of a store: a valid header (EntryCount from the second
//      byte, 0 to 15) is put in front
//   2  the same entries, compressed into valid chunks behind a compressed
//      header
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "contracts/support_objects.h"
#include "store/store_format.h"

namespace fuzz_support {

inline std::string StoreHeader(int32_t entry_count, bool compressed) {
  store::StoreFileHeader header;
  header.EntryCount = entry_count;
  header.TokenID = "fuzz";
  header.Stamp = "stamp";
  header.Compressed = compressed;
  std::string bytes;
  store::Encode(bytes, header);
  return bytes;
}

// `body` cut into chunks, each compressed by the crypto service as the store
// writes them.
inline std::string StoreChunks(std::string_view body) {
  const int64_t count = (static_cast<int64_t>(body.size()) + store::kBodyChunkSize - 1) / store::kBodyChunkSize;
  std::string out;
  auto crypto = contracts::Support().Crypto();
  for (int64_t i = 0; i < count; ++i) {
    const std::string_view chunk = body.substr(static_cast<size_t>(i * store::kBodyChunkSize), store::kBodyChunkSize);
    const store::Bytes packed =
        crypto->Compress(std::span(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()));
    store::Encode(out, store::ChunkRecord{static_cast<int32_t>(count), static_cast<int32_t>(packed.size()),
                                          static_cast<int32_t>(chunk.size())});
    out.append(reinterpret_cast<const char*>(packed.data()), packed.size());
  }
  return out;
}

// The store file an input stands for (see above); `size` is at least 1.
inline std::string StoreFileBytes(const uint8_t* data, size_t size) {
  const uint8_t mode = data[0] % 3;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (mode == 0) return std::string(rest);
  const int32_t entries = rest.empty() ? 0 : static_cast<uint8_t>(rest[0]) % 16;
  if (!rest.empty()) rest.remove_prefix(1);
  return mode == 1 ? StoreHeader(entries, false) + std::string(rest) : StoreHeader(entries, true) + StoreChunks(rest);
}

}  // namespace fuzz_support
