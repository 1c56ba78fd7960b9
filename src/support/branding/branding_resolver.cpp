#include "support/branding/branding_resolver.h"

#include <optional>

#include "contracts/product_key.h"
#include "platform/basic/conversions.h"
#include "platform/basic/string_functions.h"
#include "platform/com/dispatch_table.h"
#include "platform/registry/registry_helpers.h"
#include "platform/root/machine_root.h"
#include "support/branding/branding_file.h"
#include "support/branding/branding_path.h"
#include "support/diagnostics/diagnostics.h"
#include "support/folders/folder_component.h"

namespace support {
namespace {

using platform::xml::Node;
using platform::xml::NodeList;

std::string OptionalText(platform::com::Args args, size_t index) {
  return platform::com::HasArg(args, index) ? platform::CStr(args[index]) : std::string();
}

}  // namespace

std::string DefaultInstallFolder() {
  return (platform::MachineRoot() / "program files" / "Norvale" / "Veltris").string();
}

std::string DefaultCommonFilesFolder() { return (platform::MachineRoot() / "program files" / "common files").string(); }

void BrandingResolver::EnsureLoaded() {
  if (loaded_) return;
  document_ = LoadBrandingDocument();
  macros_.clear();
  loaded_ = true;
  SwitchBrand(chosen_brand_);
}

void BrandingResolver::Initialise() { EnsureLoaded(); }

void BrandingResolver::Reset() {
  loaded_ = false;
  document_ = platform::xml::Document();
  macros_.clear();
}

void BrandingResolver::SwitchBrand(const std::string& brand) {
  chosen_brand_ = brand;
  if (!loaded_) return;  // resolved when the configuration is read
  const Node root = document_.DocumentElement();
  const std::string default_brand = root.GetAttribute("defaultbrand");
  active_brand_ = chosen_brand_;
  if (active_brand_.empty()) active_brand_ = platform::MachineConfigValue("Brand");
  if (active_brand_.empty()) active_brand_ = default_brand;
  if (!active_brand_.empty() && platform::LCase(active_brand_) != platform::LCase(default_brand) &&
      !BrandElement(active_brand_)) {
    ReportDiagnostic("Brand '" + active_brand_ + "' is not in " + BrandingFilePath().string() +
                     "; using the shared configuration");
  }
}

std::string BrandingResolver::ActiveBrand() {
  EnsureLoaded();
  return active_brand_;
}

Node BrandingResolver::BrandElement(const std::string& brand) const {
  if (brand.empty()) return {};
  const std::string wanted = platform::LCase(brand);
  for (Node child = document_.DocumentElement().FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement && child.NodeName() == "brand" &&
        platform::LCase(child.GetAttribute("name")) == wanted) {
      return child;
    }
  }
  return {};
}

std::vector<Node> BrandingResolver::Scopes(const std::string& brand) {
  EnsureLoaded();
  std::vector<Node> scopes;
  if (Node element = BrandElement(brand.empty() ? active_brand_ : brand)) scopes.push_back(element);
  if (Node root = document_.DocumentElement()) scopes.push_back(root);
  return scopes;
}

Node BrandingResolver::FindNode(const std::string& path, const std::string& brand) {
  const std::string xpath = BrandingXPath(path);
  if (xpath.empty()) return {};
  for (const Node& scope : Scopes(brand)) {
    if (Node found = scope.SelectSingleNode(xpath)) return found;
  }
  return {};
}

const MacroTable& BrandingResolver::Macros(const std::string& brand) {
  EnsureLoaded();
  const std::string key = platform::LCase(brand.empty() ? active_brand_ : brand);
  if (auto cached = macros_.find(key); cached != macros_.end()) return cached->second;

  MacroTable table;
  table.Set("{%root%}", platform::MachineRoot().string());
  std::string common_files = FolderComponent().CommonFilesFolder();
  table.Set("{%cfdir%}", common_files.empty() ? DefaultCommonFilesFolder() : common_files);
  // The shared macros first, then the brand's, each able to use those before.
  std::vector<Node> scopes = Scopes(brand);
  for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
    for (const Node& macro : scope->SelectNodes("macros/macro")) {
      table.Set(macro.GetAttribute("name"), table.Expand(macro.Text()));
    }
  }
  // The installer's record of the install folder wins over the configuration.
  std::optional<std::string> install_folder =
      platform::registry::ReadStringValue(platform::registry::kHkeyLocalMachine, contracts::kProductKey, "installdir");
  if (install_folder && !install_folder->empty()) {
    table.Set("{%instdir%}", *install_folder);
  } else if (table.Find("{%instdir%}") == nullptr) {
    table.Set("{%instdir%}", DefaultInstallFolder());
  }
  return macros_.emplace(key, std::move(table)).first->second;
}

std::string BrandingResolver::Expand(const std::string& text, const std::string& brand) {
  if (text.find('%') == std::string::npos) return text;  // every macro holds one
  return Macros(brand).Expand(text);
}

std::string BrandingResolver::LookupString(const std::string& path, const std::string& fallback) {
  Node node = FindNode(path, {});
  return node ? node.Text() : fallback;
}

NodeList BrandingResolver::LookupNodes(const std::string& xpath) {
  const std::string relative = BrandingXPath(xpath);
  if (relative.empty()) return {};
  for (const Node& scope : Scopes({})) {
    NodeList found = scope.SelectNodes(relative);
    if (found.Empty()) continue;
    // Copies in a private document, so a caller that changes or moves them
    // leaves the configuration as it is.
    platform::xml::Document copy;
    Node holder = copy.SetDocumentElement(copy.CreateElement("nodes"));
    std::vector<Node> copies;
    copies.reserve(found.Length());
    for (const Node& node : found) {
      if (Node placed = holder.AppendChild(node)) copies.push_back(placed);
    }
    return NodeList(std::move(copies));
  }
  return {};
}

std::string BrandingResolver::ConfigurationXml(const std::string& path, const std::string& brand) {
  Node node = FindNode(path, brand);
  return node ? node.Xml() : std::string();
}

const platform::com::DispatchTable* BrandingResolver::Dispatch() const {
  using platform::com::ArgRange;
  using platform::com::Args;
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<BrandingResolver>({
      {"Initialise", [](BrandingResolver& self) { self.Initialise(); }},
      {"Reset", [](BrandingResolver& self) { self.Reset(); }},
      {"SwitchBrand", ArgRange{0, 1},
       [](BrandingResolver& self, Args args) { self.SwitchBrand(OptionalText(args, 0)); }},
      {"ActiveBrand", [](BrandingResolver& self) { return self.ActiveBrand(); }},
      {"Expand", ArgRange{1, 2},
       [](BrandingResolver& self, Args args) { return self.Expand(platform::CStr(args[0]), OptionalText(args, 1)); }},
      {"LookupString", ArgRange{1, 2},
       [](BrandingResolver& self,
          Args args) { return self.LookupString(platform::CStr(args[0]), OptionalText(args, 1)); }},
      {"ConfigurationXml", ArgRange{1, 2},
       [](BrandingResolver& self,
          Args args) { return self.ConfigurationXml(platform::CStr(args[0]), OptionalText(args, 1)); }},
  });
  return &table;
}

}  // namespace support
