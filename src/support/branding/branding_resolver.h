// The branding resolver over the machine's branding configuration
// (branding_file.h; layout in config/branding.xml).
//
// The configuration is read on first use and kept until Reset. The active
// brand is the one SwitchBrand named, else the machine configuration value
// "Brand", else the configuration's "defaultbrand"; lookups try that brand's
// <brand name="..."> element first and then the shared configuration.
//
// Late-bound members (for clients that hold the resolver as an object):
// Initialise, Reset, SwitchBrand([brand]), ActiveBrand, Expand(text[, brand]),
// LookupString(path[, default]), ConfigurationXml(path[, brand]).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "contracts/branding_resolver.h"
#include "platform/xml/document.h"
#include "support/branding/macro_table.h"

namespace support {

class BrandingResolver : public contracts::BrandingResolver {
 public:
  void Initialise() override;
  void Reset() override;
  void SwitchBrand(const std::string& brand) override;
  std::string ActiveBrand() override;
  std::string Expand(const std::string& text, const std::string& brand) override;
  std::string LookupString(const std::string& path, const std::string& fallback) override;
  platform::xml::NodeList LookupNodes(const std::string& xpath) override;
  std::string ConfigurationXml(const std::string& path, const std::string& brand) override;

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  void EnsureLoaded();
  // The brand's element (when the configuration has one) and then the
  // shared configuration, in the order lookups try them.
  std::vector<platform::xml::Node> Scopes(const std::string& brand);
  platform::xml::Node BrandElement(const std::string& brand) const;
  const MacroTable& Macros(const std::string& brand);
  // The first node the path selects, in the brand or else the shared part.
  platform::xml::Node FindNode(const std::string& path, const std::string& brand);

  bool loaded_ = false;
  platform::xml::Document document_;
  std::string chosen_brand_;  // named by SwitchBrand; empty: as configured
  std::string active_brand_;
  std::map<std::string, MacroTable> macros_;  // by brand name in lower case
};

// The built-in macros' fallback texts.
std::string DefaultInstallFolder();      // <root>/program files/Norvale/Veltris
std::string DefaultCommonFilesFolder();  // <root>/program files/common files

}  // namespace support
