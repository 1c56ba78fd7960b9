// Writing a feature plug-in: derive from one of the two kinds and export it
// with one line.
//
//   #include "hearth/plugin.h"
//
//   class Counter : public hearth::EventsPlugin {          // INorvIoCoreEvents
//    public:
//     void OnStartup(ObjectPtr& Settings, ObjectPtr& UserSettings, ObjectPtr& IoNotifyObject,
//                    ObjectPtr& PlugInData) override { ... }
//   };
//   HEARTH_PLUGIN(Counter, "Sample.Counter")
//
//   class Chatty : public hearth::NotifierPlugin {          // INotifierHost
//    protected:
//     void OnMessage(std::string& name, Variant& param1, Variant& param2) override { ... }
//   };
//   HEARTH_PLUGIN(Chatty, "Sample.Chatty")
//
// One library may export several classes (one HEARTH_PLUGIN line each, in
// any of its files). Build it as a shared object against the installed SDK
// (pkg-config hearth-sdk, or find_package(HearthSDK) and hearth_plugin())
// and register it: hearthctl plugins register PROGID /path/to/library.so.
//
// A plug-in runs inside the service, on the service thread: an exception or
// raised error it lets out of an event is contained by the service, but a
// crash in its own code takes the service down with it.
#pragma once

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <exception>
#include <memory>
#include <string>

#include "contracts/notifier.h"
#include "hearth/abi_description.h"
#include "hearth/plugin_abi.h"
#include "hearth/settings.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/dom/xml_element_object.h"
#include "typelib/norv_io_core_events.h"

namespace hearth {

using platform::Variant;
using platform::com::ObjectPtr;

// An events plug-in: override the events wanted; the rest do nothing and
// GetStatus answers false.
using EventsPlugin = typelib::INorvIoCoreEvents;

// A notifier plug-in: hears the service's messages in OnMessage ("OnStartup",
// "OnSvcShutdown", "GetStatus.<sub>", "GetBranding", ...) and sends requests
// with Request ("GetSetting", "SetSetting", "GetSettings", "GetSharedData",
// "DoXMLAction").
class NotifierPlugin : public contracts::INotifierHost {
 public:
  std::shared_ptr<contracts::cNotifier> AttachHost(std::shared_ptr<contracts::cNotifier>& host) override {
    host_ = host;
    own_ = contracts::NewNotifier();
    std::weak_ptr<platform::com::Object> weak = weak_from_this();
    own_->OnNotify([weak](std::string& name, Variant& param1, Variant& param2) {
      if (auto self = std::dynamic_pointer_cast<NotifierPlugin>(weak.lock())) self->OnMessage(name, param1, param2);
    });
    return own_;
  }

 protected:
  // A message from the service; write answers into the parameters.
  virtual void OnMessage(std::string& name, Variant& param1, Variant& param2) = 0;

  // Sends a request on the service's channel and returns what it left in
  // Param2. Raises 91 before the service attached, and 0x8001010E when sent
  // from a thread of the plug-in's own: the service answers requests only on
  // its thread, while it hands the plug-in one of its messages.
  Variant Request(std::string name, Variant param1 = Variant(), Variant param2 = Variant()) {
    if (!host_) platform::RaiseError(platform::kErrObjectNotSet, {}, "NotifierPlugin");
    std::shared_ptr<contracts::cNotifier> host = host_;
    platform::Err::Clear();
    host->Notify(name, param1, param2);
    // The host refuses a request from another thread by leaving this error.
    if (platform::Err::Number() == contracts::kErrNotifyFromAnotherThread) {
      platform::RaiseError(platform::Err::Number(), platform::Err::Description(), platform::Err::Source());
    }
    return param2;
  }

 private:
  std::shared_ptr<contracts::cNotifier> host_;
  std::shared_ptr<contracts::cNotifier> own_;
};

namespace detail {

struct PluginClass {
  const char* progid;
  ObjectPtr (*make)();
  PluginClass* next;
};

// The library's own list: hidden, so the service's (or another library's)
// copy never stands in for it.
__attribute__((visibility("hidden"))) inline PluginClass*& PluginClasses() {
  static PluginClass* head = nullptr;
  return head;
}

struct Registrar {
  Registrar(PluginClass* entry) {
    entry->next = PluginClasses();
    PluginClasses() = entry;
  }
};

inline bool SameProgId(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

inline void WriteMessage(char* message, size_t size, const std::string& text) {
  if (message == nullptr || size == 0) return;
  std::snprintf(message, size, "%s", text.c_str());
}

}  // namespace detail
}  // namespace hearth

#define HEARTH_PLUGIN_JOIN2(a, b) a##b
#define HEARTH_PLUGIN_JOIN(a, b) HEARTH_PLUGIN_JOIN2(a, b)

// Exports `Class` (default-constructible) under `ProgId`.
#define HEARTH_PLUGIN(Class, ProgId)                                                                     \
  namespace {                                                                                            \
  ::hearth::detail::PluginClass HEARTH_PLUGIN_JOIN(hearth_plugin_class_, __LINE__){                      \
      ProgId, [] { return ::hearth::ObjectPtr(std::make_shared<Class>()); }, nullptr};                   \
  const ::hearth::detail::Registrar HEARTH_PLUGIN_JOIN(hearth_plugin_registrar_, __LINE__){              \
      &HEARTH_PLUGIN_JOIN(hearth_plugin_class_, __LINE__)};                                              \
  }

// The entry point: weak, so every file of a library may carry it and the
// linker keeps one.
extern "C" __attribute__((weak, visibility("default"), used)) int HearthPluginCreate(
    const HearthPluginAbi* host_abi, HearthPluginAbi* plugin_abi, const char* progid, void* object, char* message,
    size_t message_size) {
  // A constant of this library, whatever the optimisation level.
  static constexpr HearthPluginAbi mine = ::hearth::ThisAbi();
  if (host_abi == nullptr) return HEARTH_PLUGIN_WRONG_ABI;
  if (plugin_abi != nullptr) ::hearth::WriteAbi(plugin_abi, host_abi, mine);
  if (!::hearth::SameAbi(::hearth::ReadAbi(host_abi), mine)) return HEARTH_PLUGIN_WRONG_ABI;
  if (progid == nullptr || object == nullptr) return HEARTH_PLUGIN_UNKNOWN_CLASS;
  for (auto* entry = ::hearth::detail::PluginClasses(); entry != nullptr; entry = entry->next) {
    if (!::hearth::detail::SameProgId(entry->progid, progid)) continue;
    try {
      ::hearth::ObjectPtr made = entry->make();
      if (!made) {
        ::hearth::detail::WriteMessage(message, message_size, "the class's factory returned nothing");
        return HEARTH_PLUGIN_FAILED;
      }
      *static_cast<::hearth::ObjectPtr*>(object) = std::move(made);
      return HEARTH_PLUGIN_OK;
    } catch (const std::exception& error) {
      ::hearth::detail::WriteMessage(message, message_size, error.what());
    } catch (...) {
      ::hearth::detail::WriteMessage(message, message_size, "unknown exception");
    }
    return HEARTH_PLUGIN_FAILED;
  }
  return HEARTH_PLUGIN_UNKNOWN_CLASS;
}
