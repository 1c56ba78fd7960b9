// cSettingsXML: the XML snapshot of settings collections, written and read.
//
//   <VeltrisSettings>
//     <cSettings name="Windows_v1.50">
//       <sys.count VT="3">5</sys.count>
//       <user.name VT="8">Ann</user.name>
//       <user.note VT="8"><![CDATA[a<b]]></user.note>
//       <user.pic xmlns:dt="urn:schemas-microsoft-com:datatypes" dt:dt="bin.base64" VT="8209">AQI=</user.pic>
//       <sys.flag VT="11">True</sys.flag>
//       <sys.none vartype="empty" VT="0"></sys.none>
//     </cSettings>
//   </VeltrisSettings>
//
// (written on one line, without whitespace between the tags). Writing:
// SaveState(object, name) adds or replaces one object element and lets the
// object call WriteProperty for each of its settings; GetXML gives the text.
// Reading: LoadXML(text), then RestoreState(object, name) hands each property
// element back to the object's RestoreProperty.
//
// The document is private to the writer (pugixml, without the DOM's node
// handles: a snapshot is written and read in one go, often with thousands of
// values).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"
#include "settings/xml/property_bag_object.h"

namespace pugi {
class xml_document;
struct xml_node_struct;
}  // namespace pugi

namespace settings {

// The root and object element names of a snapshot.
inline constexpr char kSnapshotRootName[] = "VeltrisSettings";
inline constexpr char kSnapshotObjectElement[] = "cSettings";
// A snapshot of an empty collection, as a user's first file holds it.
inline constexpr char kEmptySnapshot[] =
    "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>";

// Raised by WriteProperty (and so by SaveState) for a value a snapshot cannot
// hold: an error value, an array other than a byte array, an object that is
// neither Nothing nor a collection and has no text form.
inline constexpr int32_t kErrInvalidPropertyValueType = static_cast<int32_t>(0x80047723u);
inline constexpr char kInvalidPropertyValueTypeText[] = "Invalid PropertyValue type.";
inline constexpr char kInvalidPropertyValueTypeSource[] = "hearth.vbalXMLPBag";
// Raised by WriteProperty for a setting name that cannot be an element name.
inline constexpr int32_t kErrInvalidXmlName = static_cast<int32_t>(0x80004005u);

class cSettingsXML {
 public:
  cSettingsXML();
  ~cSettingsXML();
  cSettingsXML(const cSettingsXML&) = delete;
  cSettingsXML& operator=(const cSettingsXML&) = delete;

  // Writes the object's properties as one object element named for its type
  // ("cSettings") with the attribute name="`name`" (none when `name` is
  // empty), replacing an element of the same type and name. Nothing happens
  // for a null object. Raises what WriteProperty raises; the document may
  // then hold the properties written before.
  void SaveState(PropertyBagObject* object, std::string_view name);

  // Hands every property element of the matching object elements to the
  // object (its name, its text or the bytes of a "bin.base64" element as
  // text, its "VT" attribute). Other nodes (comments, stray text) are not
  // properties and are passed over. Without a document, logs
  // "SettingsXML.RestoreState: Unable to query for ...; XML properties
  // collection not present!". A property the object refuses (a "VT"="11"
  // text that is not a Boolean, ...) is logged and skipped; the others are
  // restored.
  void RestoreState(PropertyBagObject* object, std::string_view name);

  // Replaces the document by the parsed text. Text that does not parse (also
  // text with a NUL character or without an element) leaves an empty
  // document and logs "Unable to load settings.  XML error: <reason>
  // Settings string: <text>". Returns whether it parsed.
  bool LoadXML(std::string_view text);

  // The document as text; empty text when there is no document.
  std::string GetXML() const;

  // Appends one property element to the current object element (called back
  // from SaveToPropertyBag). Raises kErrInvalidPropertyValueType or
  // kErrInvalidXmlName as above.
  void WriteProperty(std::string_view name, const platform::Variant& value);

  // One property of the current object element: the bytes of a
  // "bin.base64" element, else its text; `default_value` when absent.
  platform::Variant ReadProperty(std::string_view name, const platform::Variant& default_value);

 private:
  // A nested writer for a collection held as a value.
  cSettingsXML(std::shared_ptr<pugi::xml_document> document, pugi::xml_node_struct* element);
  void EnsureDocument();

  std::shared_ptr<pugi::xml_document> document_;  // null: no document yet
  pugi::xml_node_struct* current_ = nullptr;
  std::string query_;
  std::string scratch_;  // a name made NUL-terminated for pugixml
};

}  // namespace settings
