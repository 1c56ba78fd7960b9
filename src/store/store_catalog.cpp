#include "store/store_catalog.h"

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/fs/file_numbers.h"
#include "platform/registry/key_path.h"
#include "store/record_reader.h"
#include "store/replace_store.h"
#include "store/store_body.h"
#include "store/store_enums.h"

namespace store {
namespace {

std::string Describe(RecordReader& in, int16_t type) {
  switch (type) {
    case kRegistryKeyEntry: {
      const KeyRecord key = ReadKeyRecord(in);
      int32_t values = key.ValueCount;
      if (values < 0) {
        values = 0;
        while (in.remaining() > 0) {
          ReadValueRecord(in);
          ++values;
        }
      }
      return "key " + RootText(key.RootKey) + "\\" + key.KeyName + ", " + std::to_string(values) + " values";
    }
    case kRegistryValueEntry: {
      const ValueRecord value = ReadValueRecord(in);
      return "value " + RootText(value.RootKey) + "\\" + value.SubKey + "\\" + value.ValueName + " (type " +
             std::to_string(value.ValueType) + ")";
    }
    case kStructEntry: {
      const StructRecord record = ReadStructRecord(in);
      std::string text = "struct '" + record.Tag + "' type " + std::to_string(record.StructType) + ", " +
                         std::to_string(record.SourceLength) + " bytes";
      if (record.Compressed) text += ", compressed";
      if (record.Encrypted) text += ", encrypted";
      if (!record.Hash.empty()) text += ", hashed";
      return text;
    }
    case kFileSetEntry: {
      std::string base;
      int64_t files = 0, bytes = 0, moved = 0, folders = 0;
      while (in.remaining() >= 8) {
        const FolderRecord folder = ReadFolderRecord(in);
        if (folder.FileCount < 0) throw RecordError("file count");
        if (base.empty()) base = folder.BasePath;
        ++folders;
        for (int32_t i = 0; i < folder.FileCount; ++i) {
          const FileRecord file = ReadFileRecord(in);
          if (file.FullChunks == kMovedFileChunks) {
            ++moved;
          } else if (file.FullChunks >= 0) {
            const int64_t size = static_cast<int64_t>(file.FullChunks) * kFileChunkSize + file.LastChunkSize;
            in.Skip(size);
            bytes += size;
          }
          ++files;
        }
      }
      std::string text = "files from " + base + ": " + std::to_string(files) + " files in " +
                         std::to_string(folders) + " folders, " + std::to_string(bytes) + " bytes";
      if (moved) text += ", " + std::to_string(moved) + " moved to lfiles";
      return text;
    }
    default:
      return "unused entry";
  }
}

void ReadEntries(int number, int64_t start, int64_t length, StoreCatalog& catalog) {
  int64_t position = start;
  for (int32_t n = 1; n <= catalog.header.EntryCount; ++n) {
    RecordReader in(number, position, length);
    const std::optional<EntryHeader> entry = ReadCheckedEntryHeader(in);
    if (!entry) {
      catalog.damage = "entry " + std::to_string(n) + ": invalid entry header";
      return;
    }
    CatalogEntry item{n, entry->EntryType, entry->DataLength, {}};
    in.SetLimit(in.position() + entry->DataLength);
    try {
      item.description = Describe(in, entry->EntryType);
    } catch (const RecordError&) {
      item.description = "damaged record";
    }
    catalog.entries.push_back(std::move(item));
    position = in.limit();
  }
}

}  // namespace

std::string RootText(int32_t root) {
  const std::string_view name = platform::registry::RootKeyName(static_cast<platform::registry::HKEY>(root));
  return name.empty() ? "0x" + platform::Hex(root) : std::string(name);
}

StoreCatalog ReadStoreCatalog(const std::string& path) {
  StoreCatalog catalog;
  int32_t basic_error = 0;
  const int number = platform::fs::OpenFile(path, platform::fs::OpenMode::kInput, platform::fs::Access::kDefault,
                                            platform::fs::Share::kShared, &basic_error);
  if (number == 0) {
    catalog.error = basic_error == platform::kErrPermissionDenied ? "held by another process"
                                                                  : platform::DefaultErrorDescription(basic_error);
    return catalog;
  }
  struct Closer {
    int number;
    ~Closer() { platform::fs::CloseFile(number); }
  } closer{number};

  catalog.file_size = platform::fs::FileLength(number);
  if (catalog.file_size < kSmallestStoreFile) {
    catalog.error = "too short to be a store file";
    return catalog;
  }
  int64_t header_size = 0;
  try {
    RecordReader in(number, 0, catalog.file_size);
    if (!ReadSignature(in, kFileSignature)) {
      catalog.error = "invalid file header";
      return catalog;
    }
    catalog.header = ReadStoreFileHeader(in);
    header_size = in.position();
  } catch (const RecordError&) {
    catalog.error = "invalid file header";
    return catalog;
  }
  auto start = platform::fs::ReadAt(number, header_size, kEntrySignature.size());
  const bool plain_body = start && *start == kEntrySignature;
  if (!catalog.header.Compressed || plain_body || catalog.file_size == header_size) {
    ReadEntries(number, header_size, catalog.file_size, catalog);
    return catalog;
  }

  catalog.body_compressed = true;
  if (catalog.file_size - header_size < 16) {
    catalog.error = "invalid compressed size";
    return catalog;
  }
  WorkFile work(WorkFileFor(path));
  if (!work.ok()) {
    catalog.error = "no work file to expand the body into";
    return catalog;
  }
  bool expanded = platform::Step([&] {
    RecordWriter out(work.number(), 0);
    ExpandBody(number, header_size, catalog.file_size, out, nullptr);
    out.Finish();
  });
  work.Close();
  if (!expanded) {
    platform::Err::Clear();
    catalog.error = "invalid compressed body";
    return catalog;
  }
  const int body = platform::fs::OpenFile(work.path(), platform::fs::OpenMode::kInput);
  if (body == 0) {
    catalog.error = "expanded body cannot be read";
    return catalog;
  }
  ReadEntries(body, 0, platform::fs::FileLength(body), catalog);
  platform::fs::CloseFile(body);
  return catalog;
}

std::string EntryKindName(int16_t type) {
  switch (type) {
    case kRegistryKeyEntry: return "key";
    case kRegistryValueEntry: return "value";
    case kStructEntry: return "struct";
    case kFileSetEntry: return "files";
    default: return "type " + std::to_string(type);
  }
}

}  // namespace store
