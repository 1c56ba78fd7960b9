#include "plugins/host/settings_request.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/xml/document.h"
#include "plugins/host/late_bound_settings.h"

namespace plugins::host {
namespace {

// A stem enumeration ends when the collection says so; this bounds a
// collection that never does.
constexpr int kMaxEnumerated = 1 << 20;

std::string ValueOrEmpty(const platform::com::ObjectPtr& settings, const std::string& name) {
  std::string text;
  if (settings == nullptr || !platform::Step([&] { text = ValueText(settings, name); })) return {};
  return text;
}

void AppendMatches(const platform::com::ObjectPtr& settings, const std::string& pattern, const std::string& prefix,
                   std::vector<std::pair<std::string, std::string>>& found) {
  if (settings == nullptr) return;
  platform::Step([&] {
    std::string name = EnumSettingNames(settings, pattern);
    for (int i = 0; !name.empty() && i < kMaxEnumerated; ++i) {
      if (Exists(settings, name)) found.emplace_back(prefix + name, ValueOrEmpty(settings, name));
      name = EnumSettingNames(settings, name);
    }
  });
}

}  // namespace

void AnswerSettingsRequest(platform::xml::Node request, const platform::com::ObjectPtr& system,
                           const platform::com::ObjectPtr& user) {
  // The appended elements wait until every child is answered (the scratch
  // element of the exchange), so they are never taken for request children.
  std::vector<std::pair<std::string, std::string>> found;
  for (platform::xml::Node child = request.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() != platform::xml::NodeType::kElement) continue;
    std::string name = platform::LCase(child.NodeName());
    if (name.empty()) continue;
    platform::com::ObjectPtr settings = user;
    std::string prefix;
    if (name.find("global.") != std::string::npos) {
      name = platform::Trim(std::string_view(name).substr(7));
      settings = system;
      prefix = "global.";
    }
    if (name.size() >= 2 && name.back() == '-') {
      name.back() = '*';
      AppendMatches(settings, name, prefix, found);
    } else {
      child.SetText(ValueOrEmpty(settings, name));
    }
  }
  platform::xml::Document document = request.OwnerDocument();
  for (const auto& [name, text] : found) {
    platform::xml::Node element = document.CreateElement(name);
    if (!element) continue;  // a setting name XML cannot hold
    element.SetText(text);
    request.AppendChild(element);
  }
}

}  // namespace plugins::host
