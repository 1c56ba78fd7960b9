#include "support/branding/late_bound_branding_resolver.h"

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/xml/document.h"

namespace support {

std::string LateBoundBrandingResolver::CallText(std::string_view member, std::vector<platform::Variant> args,
                                                const std::string& otherwise) {
  std::string answer = otherwise;
  platform::Step([&] { answer = platform::CStr(platform::com::CallByName(target_, member, args)); });
  return answer;
}

void LateBoundBrandingResolver::Initialise() {
  platform::Step([&] { platform::com::CallByName(target_, "Initialise"); });
}

void LateBoundBrandingResolver::Reset() {
  platform::Step([&] { platform::com::CallByName(target_, "Reset"); });
}

void LateBoundBrandingResolver::SwitchBrand(const std::string& brand) {
  platform::Step([&] {
    std::vector<platform::Variant> args{platform::Variant(brand)};
    platform::com::CallByName(target_, "SwitchBrand", args);
  });
}

std::string LateBoundBrandingResolver::ActiveBrand() { return CallText("ActiveBrand", {}, {}); }

std::string LateBoundBrandingResolver::Expand(const std::string& text, const std::string& brand) {
  return CallText("Expand", {platform::Variant(text), platform::Variant(brand)}, text);
}

std::string LateBoundBrandingResolver::LookupString(const std::string& path, const std::string& fallback) {
  return CallText("LookupString", {platform::Variant(path), platform::Variant(fallback)}, fallback);
}

std::string LateBoundBrandingResolver::ConfigurationXml(const std::string& path, const std::string& brand) {
  return CallText("ConfigurationXml", {platform::Variant(path), platform::Variant(brand)}, {});
}

platform::xml::NodeList LateBoundBrandingResolver::LookupNodes(const std::string& xpath) {
  const std::string text = CallText("LookupNodes", {platform::Variant(xpath)}, {});
  platform::xml::Document document;
  if (text.empty() || !document.LoadXml(text)) return {};
  std::vector<platform::xml::Node> nodes;
  for (const platform::xml::Node& node : document.DocumentElement().ChildNodes()) nodes.push_back(node);
  return platform::xml::NodeList(std::move(nodes));
}

std::optional<platform::Variant> LateBoundBrandingResolver::TryInvoke(std::string_view name, platform::com::Args args) {
  if (target_ == nullptr) return std::nullopt;
  return target_->TryInvoke(name, args);
}

}  // namespace support
