#include "plugins/loader/plugin_loader.h"

#include <array>
#include <mutex>

#include "hearth/abi_description.h"
#include "hearth/plugin_abi.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "platform/module/shared_object.h"
#include "platform/registry/registry_helpers.h"

namespace plugins::loader {
namespace {

namespace reg = platform::registry;

std::string AbiText(const HearthPluginAbi& abi) {
  return std::to_string(abi.version) + " (description " + std::to_string(abi.size) + ", value " +
         std::to_string(abi.variant_size) + ", text " + std::to_string(abi.string_size) + ", reference " +
         std::to_string(abi.object_ptr_size) + " bytes)";
}

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  platform::RaiseError(platform::kErrCannotCreateObject, "plug-in library '" + path + "' " + why, "PluginLoader");
}

}  // namespace

std::string ServerKeyPath(std::string_view progid) { return std::string(progid) + "\\InprocServer32"; }

std::optional<std::string> RegisteredLibrary(std::string_view progid) {
  if (progid.empty() || progid.find('\\') != std::string_view::npos) return std::nullopt;
  return reg::ReadStringValue(reg::kHkeyClassesRoot, ServerKeyPath(progid), "");
}

reg::LONG RegisterPluginLibrary(std::string_view progid, std::string_view path) {
  if (progid.empty() || progid.find('\\') != std::string_view::npos || path.empty() || path.front() != '/') {
    return reg::kErrorInvalidParameter;
  }
  return reg::WriteStringValue(reg::kHkeyClassesRoot, ServerKeyPath(progid), "", path);
}

reg::LONG UnregisterPluginLibrary(std::string_view progid) {
  if (progid.empty() || progid.find('\\') != std::string_view::npos) return reg::kErrorInvalidParameter;
  return reg::DeleteKeyTree(reg::kHkeyClassesRoot, progid);
}

platform::com::ObjectPtr CreateFromLibrary(std::string_view progid) {
  std::optional<std::string> registered = RegisteredLibrary(progid);
  if (!registered) return nullptr;
  const std::string& path = *registered;
  std::string error;
  platform::module::SharedObject* library = platform::module::OpenSharedObject(path, &error);
  if (library == nullptr) Fail(path, "could not be loaded: " + error);
  auto entry = reinterpret_cast<HearthPluginCreateFn>(
      platform::module::FindSymbol(library, HEARTH_PLUGIN_ENTRY_NAME, &error));
  if (entry == nullptr) Fail(path, "has no entry point " HEARTH_PLUGIN_ENTRY_NAME);

  static constexpr HearthPluginAbi host_abi = hearth::ThisAbi();
  // The library writes at most host_abi.size bytes here.
  HearthPluginAbi answer{};
  std::array<char, 512> message{};
  platform::com::ObjectPtr object;
  const std::string progid_text(progid);
  const int result = entry(&host_abi, &answer, progid_text.c_str(), &object, message.data(), message.size());
  message.back() = '\0';
  const HearthPluginAbi plugin_abi = hearth::ReadAbi(&answer);
  // The library's own answer about its ABI is checked too: a library that
  // claims success for another layout is refused before its object is used.
  if (result == HEARTH_PLUGIN_WRONG_ABI || (result == HEARTH_PLUGIN_OK && !hearth::SameAbi(plugin_abi, host_abi))) {
    object.reset();
    Fail(path, "was built for plug-in interface " + AbiText(plugin_abi) + ", the service offers " +
                   AbiText(host_abi));
  }
  if (result == HEARTH_PLUGIN_UNKNOWN_CLASS) Fail(path, "does not make objects of class '" + progid_text + "'");
  if (result != HEARTH_PLUGIN_OK) Fail(path, "failed to create '" + progid_text + "': " + message.data());
  if (!object) Fail(path, "returned nothing for '" + progid_text + "'");
  return object;
}

void InstallSharedObjectLoader() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto previous = std::make_shared<platform::com::ClassLookupHook>();
    *previous = platform::com::SetClassLookupHook([previous](std::string_view progid) -> platform::com::ObjectPtr {
      if (platform::com::ObjectPtr object = CreateFromLibrary(progid)) return object;
      return *previous ? (*previous)(progid) : nullptr;
    });
  });
}

}  // namespace plugins::loader
