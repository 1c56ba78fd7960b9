#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/compare.h"
#include "platform/basic/err.h"
#include "platform/xml/node.h"
#include "service/features/features.h"
#include "settings/collection/c_settings.h"

namespace service {

// The template's defaults are set on the collection itself, one by one, so
// that its other contents (transient "tmp." settings, value types, the Dirty
// state) stay as they are.
bool ApplyInitTemplate(settings::cSettings& settings, std::string_view template_name, bool overwrite) {
  platform::xml::NodeList defaults;
  platform::Step([&] {
    defaults = contracts::Support().Branding()->LookupNodes("defaults/" + std::string(template_name) + "/*");
  });
  for (const platform::xml::Node& element : defaults) {
    platform::Step([&] {
      const std::string name = element.NodeName();
      if (name.empty()) return;
      if (overwrite || platform::VarEquals(settings.GetValue(name), platform::Variant(std::string())))
        settings.SetValue(name, platform::Variant(element.Text()));
    });
  }
  return true;
}

}  // namespace service
