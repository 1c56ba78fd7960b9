// A settings collection (cSettings) as a plug-in sees it: the objects the
// events hand over in Settings and UserSettings, reached by late-bound calls
// so that a plug-in never depends on the collection's own layout.
//
//   hearth::Settings system(Settings);
//   if (system.GetValueB("sys.protecton")) ...
//   system.SetValue("tmp.SettingsChanged", true);
//
// Calls on a view of Nothing raise 91 (platform::BasicError); the host
// contains what a plug-in lets through.
#pragma once

#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"

namespace hearth {

class Settings {
 public:
  explicit Settings(platform::com::ObjectPtr object) : object_(std::move(object)) {}
  explicit operator bool() const { return object_ != nullptr; }
  const platform::com::ObjectPtr& object() const { return object_; }

  // The value as stored; "" when the name is absent.
  platform::Variant GetValue(const std::string& name) const { return Call("GetValue", {platform::Variant(name)}); }
  std::string GetText(const std::string& name) const { return platform::CStr(GetValue(name)); }
  // False when absent; raises 13 for a value that is not a Boolean.
  bool GetValueB(const std::string& name) const { return platform::CBool(Call("GetValueB", {platform::Variant(name)})); }
  void SetValue(const std::string& name, const platform::Variant& value) const {
    Call("SetValue", {platform::Variant(name), value});
  }
  void RemoveValue(const std::string& name) const { Call("RemoveValue", {platform::Variant(name)}); }
  // Full lower-case names.
  bool Exists(const std::string& name) const { return platform::CBool(Call("Exists", {platform::Variant(name)})); }

 private:
  platform::Variant Call(std::string_view member, std::initializer_list<platform::Variant> args) const {
    return platform::com::CallByName(object_, member, args);
  }
  platform::com::ObjectPtr object_;
};

}  // namespace hearth
