#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/xml/document.h"
#include "plugins/notify/feature_plugins.h"
#include "systemlog/system_log.h"

namespace plugins {
namespace {

// The attribute as a 32-bit whole number, Basic's way ("10", " 7", "2.5"
// rounds); 0 when it is missing or not a number, so it is never selected.
int32_t RankOf(const platform::xml::Node& child, std::string_view attribute) {
  if (child.Type() != platform::xml::NodeType::kElement || !child.HasAttribute(attribute)) return 0;
  int32_t rank = 0;
  if (!platform::Step([&] { rank = platform::CLng(platform::Variant(child.GetAttribute(attribute))); })) {
    platform::Err::Clear();
    return 0;
  }
  return rank;
}

}  // namespace

platform::xml::Node SortChildrenQuietly(const platform::xml::Node& element, std::string_view attribute,
                                        std::vector<platform::xml::Node>* left_out) {
  platform::xml::Document output;
  platform::xml::Node sorted = output.SetDocumentElement(output.CreateElement(element.NodeName()));
  struct Ranked {
    int32_t rank;
    std::size_t position;
    platform::xml::Node node;
  };
  std::vector<Ranked> ranked;
  std::size_t position = 0;
  for (platform::xml::Node child = element.FirstChild(); child; child = child.NextSibling(), ++position) {
    if (child.Type() != platform::xml::NodeType::kElement) continue;
    const int32_t rank = RankOf(child, attribute);
    if (rank > 0) {
      ranked.push_back(Ranked{rank, position, child});
    } else {
      if (left_out != nullptr) left_out->push_back(child);
    }
  }
  // The selection the list was always ordered by: smallest rank first, and
  // among equal ranks the one latest in the document.
  std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.position > b.position;
  });
  for (const Ranked& entry : ranked) sorted.AppendChild(entry.node.CloneNode(true));
  return sorted;
}

platform::xml::Node SortChildrenByAttribute(const platform::xml::Node& element, std::string_view attribute) {
  std::vector<platform::xml::Node> left_out;
  platform::xml::Node sorted = SortChildrenQuietly(element, attribute, &left_out);
  if (!left_out.empty()) {
    std::string names;
    for (const auto& entry : left_out) {
      if (!names.empty()) names += ' ';
      names += entry.Xml();
    }
    service::WriteSystemLog("SortChildrenByAttribute - left out the entries without a positive '" +
                            std::string(attribute) + "': " + names);
  }
  return sorted;
}

}  // namespace plugins
