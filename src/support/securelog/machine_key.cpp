#include "support/securelog/machine_key.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "platform/root/machine_root.h"

namespace support::securelog {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrPathFileAccess, "secure log key: " + what, "SecureLog");
}

std::optional<MacKey> ReadKey(const std::string& path) {
  std::optional<std::string> data = platform::fs::ReadWholeFile(path);
  if (!data) return std::nullopt;
  if (data->size() != MacKey{}.size()) Fail(path + " is damaged (" + std::to_string(data->size()) + " bytes)");
  MacKey key{};
  std::memcpy(key.data(), data->data(), key.size());
  return key;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t wrote = ::write(fd, data, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    data += wrote;
    size -= static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace

std::string MachineKeyPath() { return (platform::MachineRoot() / "keys" / "securelog.key").string(); }

MacKey LoadOrCreateMachineKey(const std::string& path) {
  if (std::optional<MacKey> key = ReadKey(path)) return *key;

  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  ::chmod(folder.c_str(), 0700);

  MacKey key{};
  if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1) Fail("no random bytes");
  // Written to a private work file, then linked into place: link() refuses to
  // replace a key another process made in the meantime.
  std::string work = path + ".new." + std::to_string(::getpid());
  int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Fail("cannot create " + work + ": " + std::strerror(errno));
  ::fchmod(fd, 0600);
  bool written = WriteAll(fd, key.data(), key.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written) {
    ::unlink(work.c_str());
    Fail("cannot write " + work);
  }
  int linked = ::link(work.c_str(), path.c_str());
  int link_error = errno;
  ::unlink(work.c_str());
  if (linked != 0 && link_error != EEXIST) Fail("cannot create " + path + ": " + std::strerror(link_error));
  platform::fs::SyncPath(folder.string());
  if (std::optional<MacKey> stored = ReadKey(path)) return *stored;
  Fail("cannot read " + path);
}

}  // namespace support::securelog
