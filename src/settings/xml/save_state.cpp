#include <string>
#include <utility>

#include "settings/xml/c_settings_xml.h"

namespace settings {

cSettingsXML::cSettingsXML() = default;
cSettingsXML::~cSettingsXML() = default;

cSettingsXML::cSettingsXML(platform::xml::Document document, platform::xml::Node element)
    : has_document_(true), document_(std::move(document)), current_(std::move(element)) {}

void cSettingsXML::EnsureDocument() {
  if (has_document_) return;
  document_ = platform::xml::Document();
  has_document_ = true;
}

void cSettingsXML::SaveState(PropertyBagObject* object, std::string_view name) {
  if (!object) return;
  EnsureDocument();
  platform::xml::Node root = document_.SelectSingleNode("//VeltrisSettings");
  if (!root) root = document_.AppendChild(document_.CreateElement(kSnapshotRootName));

  query_ = object->TypeName();
  platform::xml::Node element = document_.CreateElement(query_);
  if (!name.empty()) element.SetAttribute("name", name);

  // An object saved before under the same type and name is replaced.
  platform::xml::Node existing;
  for (platform::xml::Node child = root.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement && child.NodeName() == query_ &&
        (name.empty() || child.GetAttribute("name") == name)) {
      existing = child;
      break;
    }
  }
  if (existing) {
    root.ReplaceChild(element, existing);
  } else {
    element = root.AppendChild(element);
  }
  current_ = element;
  object->SaveToPropertyBag(*this);
}

std::string cSettingsXML::GetXML() const {
  if (!has_document_) return {};
  return document_.Xml(platform::xml::EmptyElements::kStartEndTags);
}

}  // namespace settings
