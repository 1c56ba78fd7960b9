#include "settings/folders/rights/make_temp_file_name.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/string_functions.h"
#include "settings/folders/file_utilities.h"
#include "settings/folders/folder_tree.h"
#include "settings/folders/folders.h"
#include "settings/folders/ignore_errors.h"
#include "settings/folders/rights/grant_users_rights.h"
#include "settings/folders/short_path.h"

namespace settings {
namespace {

constexpr size_t kRandomByteCount = 24;

struct TempFolderRecord {
  std::string folder;
  int32_t counter = 0;
};

thread_local TempFolderRecord temp_record;

// Seconds since local midnight, with the fraction.
double SecondsSinceMidnight() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_nsec / 1e9;
}

// 24 bytes from 0 to 254. They come from the system's random source, so two
// threads asking in the same instant still get different names.
std::vector<uint8_t> RandomNameBytes() {
  std::vector<uint8_t> bytes;
  IgnoringErrors([&] { bytes = contracts::Support().Crypto()->RandomBytes(kRandomByteCount); });
  if (bytes.size() != kRandomByteCount) {
    std::random_device device;
    bytes.resize(kRandomByteCount);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(device());
  }
  // As the integer part of a number in [0, 1) times 255.
  for (auto& byte : bytes) byte = static_cast<uint8_t>((byte * 255u) >> 8);
  return bytes;
}

// A file that is created and deleted at once, so its short form can be asked.
void TouchFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "ab");
  if (file != nullptr) std::fclose(file);
}

}  // namespace

std::string MakeTempFileName() {
  std::string result;
  IgnoringErrors([&] {
    if (temp_record.folder.empty()) {
      temp_record.folder = GetProfileFolder() + "/tmp/";
      EnsureFolder(temp_record.folder);
      if (contracts::Support().Environment()->EnvironmentFlag()) GrantUsersRights(temp_record.folder);
    }
    const std::vector<uint8_t> bytes = RandomNameBytes();
    ++temp_record.counter;

    const float centiseconds = static_cast<float>(SecondsSinceMidnight() * 100.0);
    const std::string name = platform::Hex(static_cast<int32_t>(std::nearbyint(centiseconds))) +
                             contracts::Support().Crypto()->BytesToText(bytes) + platform::Hex(temp_record.counter);
    const std::string full = temp_record.folder + name;

    result = full;
    if (contracts::Support().Environment()->ShortNameFlag()) {
      TouchFile(full);
      result = GetShortPath(full);
      if (result.empty()) result = full;  // no short form: the long name still works
      KillFileQuietly(full);
    }
    contracts::Support().Files()->PreparePath(full);
  });
  return result;
}

std::string TempFolderOfThread() { return temp_record.folder; }
int32_t TempNamesHandedOut() { return temp_record.counter; }

}  // namespace settings
