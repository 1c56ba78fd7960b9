#include "platform/xml/binary_base64.h"

#include <string>

#include "platform/xml/base64.h"

namespace platform::xml {
namespace {

constexpr std::string_view kTypePrefix = "dt";

// The namespace the element or its nearest ancestor declares for prefix;
// empty when none does.
std::string NamespaceOf(const Node& element, std::string_view prefix) {
  const std::string declaration = "xmlns:" + std::string(prefix);
  for (Node at = element; at.Type() == NodeType::kElement; at = at.ParentNode()) {
    if (at.HasAttribute(declaration)) return at.GetAttribute(declaration);
  }
  return {};
}

}  // namespace

bool SetBinaryBase64(Node element, std::span<const std::uint8_t> bytes) {
  if (element.Type() != NodeType::kElement) return false;
  if (NamespaceOf(element, kTypePrefix) != kDataTypesNamespace) {
    element.SetAttribute("xmlns:dt", kDataTypesNamespace);
  }
  element.SetAttribute("dt:dt", kBinBase64);
  return element.SetText(EncodeBase64(bytes));
}

bool IsBinaryBase64(const Node& element) {
  if (element.Type() != NodeType::kElement) return false;
  for (const Attribute& attribute : element.Attributes()) {
    std::string_view name = attribute.name;
    if (attribute.value != kBinBase64 || name.size() < 4 || name.substr(name.size() - 3) != ":dt") continue;
    std::string_view prefix = name.substr(0, name.size() - 3);
    if (NamespaceOf(element, prefix) == kDataTypesNamespace) return true;
  }
  return false;
}

std::optional<std::vector<std::uint8_t>> GetBinaryBase64(const Node& element) {
  if (!IsBinaryBase64(element)) return std::nullopt;
  return DecodeBase64(element.Text());
}

}  // namespace platform::xml
