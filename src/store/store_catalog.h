// What a store file holds, for people: its header and one line per entry.
// Reads the file shared (a store another process protects cannot be read)
// and never changes it; a compressed body is expanded into a work file that
// is removed afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/store_format.h"

namespace store {

struct CatalogEntry {
  int32_t number = 0;
  int16_t type = 0;
  int32_t data_length = 0;
  std::string description;  // "key HKEY_LOCAL_MACHINE\SOFTWARE\x, 3 values" ...
};

struct StoreCatalog {
  std::string error;  // empty when the file was read; else why not
  StoreFileHeader header;
  int64_t file_size = 0;
  bool body_compressed = false;  // the body on disk is chunks
  std::vector<CatalogEntry> entries;
  // Set when the entry chain breaks before EntryCount entries were read.
  std::string damage;
};

StoreCatalog ReadStoreCatalog(const std::string& path);

// What a person calls an entry of `type`: "key", "value", "struct",
// "files", or "type N" for a type the format does not use.
std::string EntryKindName(int16_t type);

// "HKEY_LOCAL_MACHINE" for a predefined root, else the number in hex.
std::string RootText(int32_t root);

}  // namespace store
