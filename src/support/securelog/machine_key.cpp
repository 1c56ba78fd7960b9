#include "support/securelog/machine_key.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "platform/root/machine_root.h"
#include "support/diagnostics/diagnostics.h"

namespace support::securelog {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrPathFileAccess, "secure log key: " + what, "SecureLog");
}

// The key in the file; nullopt when there is no file. A file of another size
// is not a key: a crash while it was made, or damage.
std::optional<std::string> ReadKeyBytes(const std::string& path) { return platform::fs::ReadWholeFile(path); }

MacKey AsKey(const std::string& bytes) {
  MacKey key{};
  std::memcpy(key.data(), bytes.data(), key.size());
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

// A new file in `folder` holding the key, not yet visible under any name: an
// unnamed file (O_TMPFILE) where the file system has them, else a work file
// of a unique name. Answers the descriptor and the work file's name (empty
// for an unnamed file).
int WriteKeyFile(const std::filesystem::path& folder, const MacKey& key, std::string* work) {
  work->clear();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = (folder / "securelog.key.new.XXXXXX").string();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) Fail("cannot create a key file in " + folder.string() + ": " + std::strerror(errno));
    *work = name;
  }
  ::fchmod(fd, 0600);
  if (!WriteAll(fd, key.data(), key.size()) || ::fsync(fd) != 0) {
    const std::string reason = std::strerror(errno);
    ::close(fd);
    if (!work->empty()) ::unlink(work->c_str());
    Fail("cannot write the key file: " + reason);
  }
  return fd;
}

// Puts the written key file under `path` unless a key is there already.
// False when another process was first.
bool LinkKeyFile(int fd, const std::string& work, const std::string& path) {
  int linked;
  if (work.empty()) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    linked = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
  } else {
    linked = ::link(work.c_str(), path.c_str());
  }
  const int link_error = errno;
  ::close(fd);
  if (!work.empty()) ::unlink(work.c_str());
  if (linked == 0) return true;
  if (link_error == EEXIST) return false;
  Fail("cannot create " + path + ": " + std::strerror(link_error));
}

}  // namespace

std::string MachineKeyPath() { return (platform::MachineRoot() / "keys" / "securelog.key").string(); }

MacKey LoadOrCreateMachineKey(const std::string& path) {
  std::optional<std::string> bytes = ReadKeyBytes(path);
  if (bytes && bytes->size() == MacKey{}.size()) return AsKey(*bytes);
  if (bytes) {
    // Not a key (a key file appears whole or not at all, so this is damage):
    // kept aside as it is, and a new key made. Logs chained with the old key
    // no longer verify, and say so.
    const std::string aside = path + ".damaged." + std::to_string(std::time(nullptr));
    if (::rename(path.c_str(), aside.c_str()) != 0 && errno != ENOENT) {
      Fail("cannot move aside the damaged key " + path + ": " + std::strerror(errno));
    }
    support::ReportDiagnostic("SecureLog - the secure log key " + path + " is damaged (" +
                              std::to_string(bytes->size()) + " bytes); kept as " + aside +
                              ", a new key is made: logs chained with the old one no longer verify");
  }

  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  ::chmod(folder.c_str(), 0700);

  MacKey key{};
  if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1) Fail("no random bytes");
  // The file is whole before it has a name; link() never replaces a key
  // another process put there in the meantime, whose key then serves.
  std::string work;
  const int fd = WriteKeyFile(folder, key, &work);
  LinkKeyFile(fd, work, path);
  platform::fs::SyncPath(folder.string());
  bytes = ReadKeyBytes(path);
  if (bytes && bytes->size() == key.size()) return AsKey(*bytes);
  Fail("cannot read " + path);
}

}  // namespace support::securelog
