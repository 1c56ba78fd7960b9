// Outside bytes as the root's copy of branding.xml, read through the
// branding resolver as the service reads it: brand, strings, macros,
// configuration fragments and node lookups.
//
// What must hold: no error leaves the resolver; a copy that does not load
// (or has no document element) gives the shipped configuration; the copy on
// disk is never changed.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "common/private_root.h"
#include "support/branding/branding_file.h"
#include "support/branding/branding_resolver.h"

namespace {

std::string ReadBack(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::UsePrivateRoot("branding");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path path = support::BrandingFilePath();
  std::filesystem::create_directories(path.parent_path());
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  platform::xml::Document probe;
  const bool usable = probe.LoadXml(text) && probe.DocumentElement();

  try {
    support::BrandingResolver resolver;
    resolver.Initialise();
    const std::string brand = resolver.ActiveBrand();
    const std::string guest = resolver.LookupString("{%strings%}/guest", "\x01");
    if (!usable && guest != "Guest") __builtin_trap();
    (void)resolver.Expand("%%PRODUCTNAMESHORT %%COMPANYNAME {%instdir%} {%cfdir%} %%", "");
    (void)resolver.Expand("%%PRODUCTNAMEFULL", brand + "x");
    (void)resolver.ConfigurationXml("plugins/system", "");
    (void)resolver.ConfigurationXml("/features", brand);
    (void)resolver.LookupNodes("/packages//item[@feature='A']");
    (void)resolver.LookupNodes("defaults/guest/*");
    (void)resolver.IconBaseName();
    resolver.SwitchBrand("other");
    (void)resolver.LookupString("oobevars/supportwebsite", "");
  } catch (...) {
    __builtin_trap();
  }
  if (ReadBack(path) != text) __builtin_trap();
  return 0;
}
