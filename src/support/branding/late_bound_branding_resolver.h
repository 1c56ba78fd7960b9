// A branding resolver that a client handed in as a plain object: every
// operation is a late-bound call of the member of the same name
// (Initialise, Reset, SwitchBrand, ActiveBrand, Expand, LookupString,
// ConfigurationXml, LookupNodes). An operation the object lacks or that
// fails answers as a missing entry would: the text unchanged for Expand, the
// default for LookupString, empty text or an empty list otherwise; the
// failure stays the pending error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/branding_resolver.h"
#include "platform/com/object.h"

namespace support {

class LateBoundBrandingResolver : public contracts::BrandingResolver {
 public:
  explicit LateBoundBrandingResolver(platform::com::ObjectPtr target) : target_(std::move(target)) {}

  const platform::com::ObjectPtr& target() const { return target_; }

  void Initialise() override;
  void Reset() override;
  void SwitchBrand(const std::string& brand) override;
  std::string ActiveBrand() override;
  std::string Expand(const std::string& text, const std::string& brand) override;
  std::string LookupString(const std::string& path, const std::string& fallback) override;
  // The object's answer is XML text whose document element holds the nodes.
  platform::xml::NodeList LookupNodes(const std::string& xpath) override;
  std::string ConfigurationXml(const std::string& path, const std::string& brand) override;

  // Late-bound calls on this wrapper reach the client's object.
  std::optional<platform::Variant> TryInvoke(std::string_view name, platform::com::Args args) override;

 private:
  std::string CallText(std::string_view member, std::vector<platform::Variant> args, const std::string& otherwise);

  platform::com::ObjectPtr target_;
};

}  // namespace support
