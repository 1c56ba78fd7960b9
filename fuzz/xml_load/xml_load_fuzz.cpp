// Outside text through the XML loader, and what callers then do with it:
// write it, query it, read typed Base64, reload the written text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xml/binary_base64.h"
#include "platform/xml/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::xml;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Document doc;
  if (!doc.LoadXml(text)) {
    (void)doc.GetParseError().Describe();
    return 0;
  }
  std::string written = doc.Xml();
  for (const Node& node : doc.SelectNodes("//*")) {
    (void)node.Text();
    (void)GetBinaryBase64(node);
    node.CloneNode(true);
  }
  // What we write must load again to the same text.
  Document again;
  if (!again.LoadXml(written) || again.Xml() != written) __builtin_trap();
  Node root = doc.DocumentElement();
  root.ParentNode().RemoveChild(root);
  return 0;
}
