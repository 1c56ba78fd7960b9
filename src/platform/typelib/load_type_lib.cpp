#include "platform/typelib/load_type_lib.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/registry/registry_helpers.h"

namespace platform::typelib {
namespace {

namespace reg = platform::registry;

std::string Hex(uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", number);
  return text;
}

}  // namespace

std::string VersionKeyName(const TypeLibrary& library) { return Hex(library.major) + "." + Hex(library.minor); }

HRESULT LoadTypeLib(const std::string& path, TypeLibrary* library, std::string* reason) {
  std::string why;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    if (reason) *reason = "cannot read the file";
    return kTypeErrCantLoadLibrary;
  }
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    if (reason) *reason = "cannot read the file";
    return kTypeErrCantLoadLibrary;
  }
  if (DecodeTypeLibrary(content, library, &why)) return kSOk;
  if (reason) *reason = why;
  const bool signed_file = content.size() >= sizeof kTypeLibraryMagic &&
                           content.compare(0, sizeof kTypeLibraryMagic,
                                           std::string(kTypeLibraryMagic, sizeof kTypeLibraryMagic)) == 0;
  return signed_file ? kTypeErrInvalidDataRead : kTypeErrUnsupportedFormat;
}

HRESULT RegisterTypeLib(const TypeLibrary& library, const std::string& path, const std::string& help_folder) {
  const std::string libid = GuidText(library.libid);
  const std::string version = VersionKeyName(library);
  const std::string version_key = "TypeLib\\" + libid + "\\" + version;
  const reg::HKEY classes = reg::kHkeyClassesRoot;
  reg::LONG failed = 0;
  auto write = [&](const std::string& key, const std::string& name, const std::string& text) {
    const reg::LONG rc = reg::WriteStringValue(classes, key, name, text);
    if (rc != reg::kErrorSuccess && failed == 0) failed = rc;
  };
  write(version_key, "", library.name);
  write(version_key + "\\FLAGS", "", "0");
  write(version_key + "\\HELPDIR", "", help_folder);
  write(version_key + "\\" + Hex(library.lcid) + "\\win32", "", path);
  for (const TypeInterface& item : library.interfaces) {
    const std::string key = "Interface\\" + GuidText(item.iid);
    write(key, "", item.name);
    write(key + "\\ProxyStubClsid32", "", kAutomationMarshaller);
    write(key + "\\TypeLib", "", libid);
    write(key + "\\TypeLib", "Version", version);
  }
  return failed == 0 ? kSOk : kTypeErrRegistryAccess;
}

}  // namespace platform::typelib
