// PlayBackStoreFile: every entry of a store file back where it came from,
// the struct entries into the bag.
#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "store/chunk_hook.h"
#include "store/expanded_body_stream.h"
#include "store/file_manager.h"
#include "store/replace_store.h"
#include "store/store_body.h"
#include "store/yield.h"
#include "systemlog/system_log.h"

namespace store {

std::shared_ptr<PlaybackBag> cFileMgr::PlayBackStoreFile(const std::string& Filename) {
  auto bag = std::make_shared<PlaybackBag>();
  last_playback_ = {};
  bool opened = false;
  platform::Step([&] {
    if (SafeFileSize(Filename) < kSmallestStoreFile) {
      // Too short to be a store is damage; no file at all is nothing read.
      if (platform::fs::FileExists(Filename)) ++last_playback_.damaged;
      return;
    }
    int32_t handle = GetProtectedFileHandle(Filename);
    if (!handle) handle = ProtectFile(Filename);
    if (!handle) return;
    opened = true;
    int64_t header_size = 0;
    std::optional<StoreFileHeader> header = ReadHeader(handle, &header_size);
    if (!header) {
      service::WriteSystemLog("Error reading file '" + Filename + "' (invalid file header)");
      ++last_playback_.damaged;
      return;
    }
    progress_state_ = {};
    if (header->Compressed) {
      PlayBackCompressed(Filename, handle, *header, header_size, *bag);
      return;
    }
    FileSource file(handle);
    progress_state_.bytes_total = platform::fs::FileLength(handle);
    last_playback_.completed =
        PlayBackEntries(file, Filename, header->EntryCount, header_size, progress_state_.bytes_total, *bag);
  });
  last_playback_.outcome = OutcomeOf(last_playback_, opened);
  return bag;
}

PlaybackOutcome cFileMgr::OutcomeOf(const PlaybackCounts& counts, bool opened) {
  if (counts.damaged > 0) return PlaybackOutcome::kStoppedAtDamage;
  if (!opened) return PlaybackOutcome::kNotRead;
  if (!counts.completed || counts.refused > 0 || counts.registry_failures > 0) return PlaybackOutcome::kFileFailures;
  return PlaybackOutcome::kComplete;
}

void cFileMgr::PlayBackCompressed(const std::string& Filename, int32_t handle, const StoreFileHeader& header,
                                  int64_t header_size, PlaybackBag& bag) {
  const int64_t length = platform::fs::FileLength(handle);
  if (length - header_size < 16) {
    service::WriteSystemLog("Error reading file '" + Filename + "' (invalid compressed size)");
    // A store finalized without entries holds nothing to lose.
    if (header.EntryCount == 0 && length == header_size) {
      last_playback_.completed = true;
    } else {
      ++last_playback_.damaged;
    }
    return;
  }
  // A body that is still a chain of entries was never compressed (a finalize
  // that did not complete): it plays back as it stands.
  if (auto start = platform::fs::ReadAt(handle, header_size, kEntrySignature.size());
      start && *start == kEntrySignature) {
    FileSource file(handle);
    progress_state_.bytes_total = length;
    last_playback_.completed = PlayBackEntries(file, Filename, header.EntryCount, header_size, length, bag);
    return;
  }
  std::vector<ChunkPlace> chunks;
  try {
    chunks = ReadChunkTable(handle, header_size, length);
  } catch (const RecordError&) {
    service::WriteSystemLog("Error reading file '" + Filename + "' (invalid compressed body)");
    ++last_playback_.damaged;
    return;
  }

  // The store is expanded into a work file that replaces it once whole, and
  // the entries play back from the same expanded bytes as they arrive. Until
  // the replace the store stays as it was: a process killed meanwhile leaves
  // a compressed store that still plays back.
  WorkFile work(WorkFileFor(Filename), /*readable=*/true);
  if (!work.ok()) {
    service::WriteSystemLog("Error reading file '" + Filename + "' (no work file to expand it into)");
    return;
  }
  StoreFileHeader plain = header;
  plain.Compressed = false;
  std::string head;
  Encode(head, plain);
  if (!platform::fs::WriteAt(work.number(), 0, head)) {
    service::WriteSystemLog("Error reading file '" + Filename + "' (no work file to expand it into)");
    return;
  }

  bool body_stopped = false;
  ExpandedBodyStream::Outcome outcome;
  {
    ExpandedBodyStream body(handle, std::move(chunks), header_size, work.number(), RunChunkHook);
    body.OnChunkReached([] { YieldToPendingEvents(); });
    progress_state_.bytes_total = body.end();
    last_playback_.completed = PlayBackEntries(body, Filename, header.EntryCount, header_size, body.end(), bag);
    body_stopped = body.broken();
    outcome = body.Finish();
  }
  if (outcome != ExpandedBodyStream::Outcome::kComplete) {
    // The store stays as it was: compressed, whole, protected. A chunk that
    // does not expand is damage; a work file that cannot be written is this
    // machine's failure, not the store's.
    last_playback_.completed = false;
    if (outcome == ExpandedBodyStream::Outcome::kDamaged) ++last_playback_.damaged;
    service::WriteSystemLog("Error reading file '" + Filename + "' (" +
                            (outcome == ExpandedBodyStream::Outcome::kDamaged
                                 ? "invalid compressed body"
                                 : "cannot expand it: the work file cannot be written") +
                            ")");
    // What stopped the playback was the body, not a file.
    if (body_stopped) platform::Err::Clear();
    return;
  }
  work.Close();
  UnprotectFile(Filename);
  if (!ReplaceStore(work, Filename)) {
    ProtectFile(Filename);
    service::WriteSystemLog("Error reading file '" + Filename + "' (cannot replace it with its expanded body)");
    return;
  }
  work.Keep();
  handle = ProtectFile(Filename);
  if (!handle || !ReadHeader(handle, nullptr)) {
    service::WriteSystemLog("Error reading file '" + Filename + "' (invalid file header after decompression)");
    ++last_playback_.damaged;
  }
}

bool cFileMgr::PlayBackEntries(ByteSource& source, const std::string& Filename, int32_t EntryCount, int64_t start,
                               int64_t length, PlaybackBag& bag) {
  int64_t position = start;
  for (int32_t number = 1; number <= EntryCount; ++number) {
    if (StopRequested()) {
      last_playback_.stopped = true;
      return false;
    }
    RecordReader in(source, position, length);
    const std::optional<EntryHeader> header = ReadCheckedEntryHeader(in);
    if (!header) {
      if (source.broken()) return false;
      service::WriteSystemLog("Error reading entry " + std::to_string(number) + " in file '" + Filename +
                              "' (invalid entry header)");
      // Reading stops here: every entry from this one on is lost.
      ++last_playback_.damaged;
      return false;
    }
    const EntryHeader& entry = *header;
    const int64_t body = in.position();
    in.SetLimit(body + entry.DataLength);
    bool go_on = true;
    const bool registry = entry.EntryType == kRegistryKeyEntry || entry.EntryType == kRegistryValueEntry;
    try {
      if (registry && !restore_root_.empty()) {
        // Below a restore root nothing outside it is written: the registry neither.
        service::WriteSystemLog("PlayBackStoreFile: entry " + std::to_string(number) +
                                " (registry) left out: restoring below " + restore_root_);
        ++last_playback_.left_out;
      } else if (registry) {
        // A key's values are set as they are read: all of them must be there.
        in.Expect(entry.DataLength);
      }
      switch (registry && !restore_root_.empty() ? int16_t{0} : entry.EntryType) {
        case kRegistryKeyEntry:
          RestoreRegKeys(in);
          break;
        case kRegistryValueEntry:
          RestoreRegValue(in);
          break;
        case kStructEntry:
          LoadStruct(in, bag);
          break;
        case kFileSetEntry:
          go_on = RestoreFolderBlocks(in, Filename, number);
          break;
        default:
          break;
      }
    } catch (const RecordError&) {
      if (!source.broken()) {
        service::WriteSystemLog("Error reading entry " + std::to_string(number) + " in file '" + Filename +
                                "' (invalid record)");
        // The entry (or its rest) is lost; the next one is where DataLength says.
        ++last_playback_.damaged;
      }
    } catch (...) {
      // A key or value that could not be written: the playback goes on.
      platform::Err::SetFrom(std::current_exception());
      if (registry) {
        ++last_playback_.registry_failures;
      } else {
        ++last_playback_.damaged;
      }
    }
    // A damaged body ends the playback wherever the damage was met.
    if (source.broken()) return false;
    ++last_playback_.entries;
    if (!go_on) return false;
    position = body + entry.DataLength;
    progress_state_.bytes_done = position;
    ReportProgress();
  }
  return true;
}

}  // namespace store
