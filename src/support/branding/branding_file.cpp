#include "support/branding/branding_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/root/machine_root.h"
#include "support/diagnostics/diagnostics.h"

namespace support {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

std::filesystem::path BrandingFilePath() { return platform::MachineRoot() / "config" / "branding.xml"; }

bool EnsureBrandingFile() {
  const std::filesystem::path target = BrandingFilePath();
  std::error_code error;
  if (std::filesystem::exists(target, error)) return true;
  std::filesystem::create_directories(target.parent_path(), error);

  // Write a private file completely, then give it the final name with link(),
  // which never replaces a file that appeared meanwhile.
  static std::atomic<unsigned> counter{0};
  const std::string temp =
      target.string() + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    ReportDiagnostic("Could not write " + target.string() + ": " + std::strerror(errno));
    return false;
  }
  bool written = WriteAll(fd, ShippedBrandingXml()) && ::fsync(fd) == 0;
  int saved_errno = errno;
  ::close(fd);
  bool placed = written && (::link(temp.c_str(), target.c_str()) == 0 || errno == EEXIST);
  if (written && !placed) saved_errno = errno;
  ::unlink(temp.c_str());
  if (!placed) ReportDiagnostic("Could not write " + target.string() + ": " + std::strerror(saved_errno));
  return placed;
}

platform::xml::Document LoadBrandingDocument() {
  platform::xml::Document document;
  if (EnsureBrandingFile()) {
    const std::filesystem::path path = BrandingFilePath();
    if (document.LoadFile(path) && document.DocumentElement()) return document;
    std::string reason = document.GetParseError().Describe();
    if (reason.empty()) reason = "no document element";
    ReportDiagnostic("Branding configuration " + path.string() + " is not usable (" + reason +
                     "); using the shipped configuration");
  }
  document.LoadXml(ShippedBrandingXml());
  return document;
}

}  // namespace support
