// The public enumerations of the file manager and the numbers the store
// format gives its entries.
#pragma once

#include <cstdint>

namespace store {

enum EncryptionKeyTypes : int32_t {
  EK_NONE = 0,
  EK_SPECIFIED = 1,
  EK_TOKENSPECIFIC = 2,
};

// Stored with a struct entry and handed back; never interpreted here.
enum StructTypes : int32_t {
  ST_USERPROFILE = 0,
  ST_PICSRATE = 1,
  ST_SESSIONLOG = 2,
  ST_FWRULES = 3,
  ST_RAW = 4,
  ST_INSTALLEDBROWSERS = 5,
};

// EntryHeader.EntryType.
enum EntryType : int16_t {
  kRegistryKeyEntry = 1,
  kRegistryValueEntry = 2,
  kStructEntry = 3,
  kUnusedEntry = 4,
  kFileSetEntry = 5,
};

}  // namespace store
