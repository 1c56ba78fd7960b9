// What the snapshot writer and reader ask of an object they save or restore:
// it writes its own properties into a writer, and takes them back one by one.
// cSettings is the one such class; the writer saves a value that is one of
// these objects as a nested object element.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/object.h"

namespace settings {

class cSettingsXML;

class PropertyBagObject : public platform::com::Object {
 public:
  // Calls writer.WriteProperty once per property to keep.
  virtual void SaveToPropertyBag(cSettingsXML& writer) = 0;
  // One property element read back: its name, its text, and its "VT"
  // attribute as a number (0 when missing or not a number).
  virtual void RestoreProperty(std::string_view name, std::string text, int32_t vartype) = 0;
};

}  // namespace settings
