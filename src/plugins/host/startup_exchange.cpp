#include "platform/basic/err.h"
#include "contracts/support_objects.h"
#include "platform/dom/xml_element_object.h"
#include "plugins/host/branding_document.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/settings_request.h"

namespace plugins {

using platform::Variant;

// Four messages, each answered before the next: the plug-in's branding
// element, resolved and handed back, then its settings request, answered
// from the collections the host holds (none yet at creation) and handed back.
void cPluginHost::RunStartupExchange() {
  Variant branding = Variant::Nothing();
  platform::Step([&] {
    Variant param1 = Variant::Nothing();
    SendToPlugin("GetBranding", param1, branding);
  });
  platform::Step([&] {
    platform::xml::Node element = platform::dom::NodeOf(branding);
    if (!element) platform::RaiseError(platform::kErrObjectRequired, {}, "cPluginHost");
    host::ResolveBrandingElement(element, *contracts::Support().Branding());
  });
  platform::Step([&] {
    Variant param2 = Variant::Nothing();
    SendToPlugin("SetBranding", branding, param2);
  });
  // A variable of its own: a plug-in that answers GetBranding but not
  // GetSettings would otherwise have its branding element answered as a
  // settings request, and emptied.
  Variant request = Variant::Nothing();
  platform::Step([&] {
    Variant param1 = Variant::Nothing();
    SendToPlugin("GetSettings", param1, request);
  });
  platform::Step([&] {
    platform::xml::Node element = platform::dom::NodeOf(request);
    if (!element) platform::RaiseError(platform::kErrObjectRequired, {}, "cPluginHost");
    host::AnswerSettingsRequest(element, settings_, user_settings_);
  });
  platform::Step([&] {
    Variant param2 = Variant::Nothing();
    SendToPlugin("SetSettings", request, param2);
  });
  platform::Err::Clear();
}

}  // namespace plugins
