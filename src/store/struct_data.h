// The data steps of a struct entry: compress, encrypt with the fixed key and
// the entry's salt, hash; and back again on reading. The crypto service is
// the calling thread's. A codec result that is empty counts as a failure:
// on writing the bytes stay as they were, on reading the step is failed.
#pragma once

#include <cstdint>
#include <string>

#include "store/store_format.h"

namespace store {

// The fixed key of every encrypted entry (29 bytes).
const Bytes& FixedEncryptionKey();

// 16 salt bytes, each 0 to 254, from the timer-seeded generator.
Bytes MakeSalt();

// What StoreStruct writes for `buffer` (changed in place) and the record's
// Hash when `with_hash`.
void PrepareStructData(Bytes& buffer, bool compress, bool encrypt, const Bytes& salt, bool with_hash, Bytes* hash);

// The caller's bytes back from the stored ones: MD5 check (a mismatch is
// logged, the data used anyway), decryption, decompression with up to 15
// attempts, each dropping one more trailing byte.
Bytes RestoreStructData(Bytes data, const StructRecord& record);

}  // namespace store
