#include "plugins/ionotify/xml_text.h"

namespace plugins::ionotify {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

std::string Escape(std::string_view text, bool attribute) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += attribute ? "&apos;" : "'"; break;
      case '"': out += attribute ? "&quot;" : "\""; break;
      case '\t': out += attribute ? "&#9;" : "\t"; break;
      case '\n': out += attribute ? "&#10;" : "\n"; break;
      case '\r': out += "&#13;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          if (c == 0x7f) {
            out += c;  // DEL is allowed in XML 1.0
          } else {
            out += kReplacement;
          }
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace

std::string ChildText(const platform::xml::Node& element, std::string_view name) {
  for (platform::xml::Node child = element.FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == platform::xml::NodeType::kElement && child.NodeName() == name) return child.Text();
  }
  return {};
}

std::string EscapeXmlAttribute(std::string_view text) { return Escape(text, true); }

std::string EscapeXmlText(std::string_view text) { return Escape(text, false); }

}  // namespace plugins::ionotify
