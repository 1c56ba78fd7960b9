#include "support/branding/branding_file.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/fs/temp_sibling.h"
#include "platform/root/machine_root.h"
#include "support/diagnostics/diagnostics.h"

namespace support {

std::filesystem::path BrandingFilePath() { return platform::MachineRoot() / "config" / "branding.xml"; }

bool EnsureBrandingFile() {
  const std::filesystem::path target = BrandingFilePath();
  std::error_code error;
  if (std::filesystem::exists(target, error)) return true;
  std::filesystem::create_directories(target.parent_path(), error);

  // Written completely beside the target, then given its name without ever
  // replacing a file that appeared meanwhile.
  platform::fs::TempSibling copy(target.string(), 0644);
  if (copy.ok() && copy.Write(ShippedBrandingXml()) && (copy.Commit(false) || errno == EEXIST)) return true;
  ReportDiagnostic("Could not write " + target.string() + ": " + std::strerror(errno));
  return false;
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
