// Outside bytes as a settings file: checksum, decryption, XML load, restore.
//
// The first byte chooses what the rest is:
//   0  the live file's bytes as they are
//   1  a snapshot text, stored encrypted with its checksum (so the XML reader
//      and the restore get the text)
//   2  the live file as in 0, and half of it also left as a work file
//   3  the live file as in 1, and a copy of it left as a work file
// A good file is stored before each input: a bad work file never costs it,
// and whatever loads carries the marker and writes and reloads unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/collection/c_settings.h"
#include "settings/files/checksum.h"
#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"
#include "settings_snapshot/fuzz_settings.h"

namespace {

void WriteBytes(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string WithChecksum(std::string_view data) {
  const int32_t sum = settings::Checksum(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  std::string file(data);
  for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>((static_cast<uint32_t>(sum) >> shift) & 0xFF);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  settings_fuzz::UsePrivateRoot();
  settings_fuzz::KeepLogSmall();
  const std::string owner = "S-1-5-21-42";
  const uint8_t mode = data[0] % 4;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  const settings::SettingsFilePaths paths = settings::SettingsFilePathsFor(settings::SettingsFileBase(owner));
  static const std::string good_file = [&] {
    settings::cSettings good;
    good.SetValue("sys.good", "yes");
    good.WriteSnapshotToStored(owner);
    std::string bytes;
    if (FILE* file = std::fopen(paths.live.c_str(), "rb")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
      std::fclose(file);
    }
    if (bytes.empty()) std::abort();
    return bytes;
  }();
  WriteBytes(paths.live, good_file);
  std::remove(paths.work.c_str());
  std::string file(rest);
  if (mode == 1 || mode == 3) {
    const settings::ByteArray encrypted = settings::EncryptSnapshot(owner, rest);
    file = WithChecksum(std::string_view(reinterpret_cast<const char*>(encrypted.data()), encrypted.size()));
  }
  if (mode >= 2) {
    WriteBytes(paths.work, mode == 2 ? std::string_view(file).substr(0, file.size() / 2) : std::string_view(file));
  } else {
    WriteBytes(paths.live, file);
  }

  settings::cSettings settings;
  settings.SetValue("sys.before", 1);
  settings.CreateSnapshotFromStored(owner);
  const bool loaded = !settings.Exists("sys.before");
  if (loaded) {
    if (settings.GetValue("uncorrupted").StringValue() != "Definitely") __builtin_trap();
    settings_fuzz::CheckWritesAndReloads(settings);
  } else if (mode >= 2) {
    // A work file that holds no snapshot is passed over: the good live file
    // still loads.
    __builtin_trap();
  }
  return 0;
}
