#include <pugixml.hpp>

#include <string>
#include <utility>

#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

struct StringWriter : pugi::xml_writer {
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

}  // namespace

cSettingsXML::cSettingsXML() = default;
cSettingsXML::~cSettingsXML() = default;

cSettingsXML::cSettingsXML(std::shared_ptr<pugi::xml_document> document, pugi::xml_node_struct* element)
    : document_(std::move(document)), current_(element) {}

void cSettingsXML::EnsureDocument() {
  if (!document_) document_ = std::make_shared<pugi::xml_document>();
}

void cSettingsXML::SaveState(PropertyBagObject* object, std::string_view name) {
  if (!object) return;
  EnsureDocument();
  pugi::xml_node root = document_->document_element();
  if (std::string_view(root.name()) != kSnapshotRootName) {
    root = document_->select_node("//VeltrisSettings").node();
    if (!root) root = document_->append_child(kSnapshotRootName);
  }

  query_ = object->TypeName();
  // An object saved before under the same type and name is replaced.
  pugi::xml_node existing;
  for (pugi::xml_node child = root.child(query_.c_str()); child; child = child.next_sibling(query_.c_str())) {
    if (name.empty() || child.attribute("name").value() == name) {
      existing = child;
      break;
    }
  }
  pugi::xml_node element = existing ? root.insert_child_before(query_.c_str(), existing)
                                    : root.append_child(query_.c_str());
  if (existing) root.remove_child(existing);
  if (!name.empty()) element.append_attribute("name").set_value(std::string(name).c_str());
  current_ = element.internal_object();
  object->SaveToPropertyBag(*this);
}

std::string cSettingsXML::GetXML() const {
  if (!document_) return {};
  StringWriter writer;
  document_->print(writer, "", pugi::format_raw | pugi::format_no_empty_element_tags, pugi::encoding_utf8);
  return std::move(writer.text);
}

}  // namespace settings
