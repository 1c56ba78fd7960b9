// ForEachChildElement: the one-pass read of many children agrees with what
// the node handles answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/xml/document.h"

namespace platform::xml {
namespace {

struct Seen {
  std::string name, id, text;
  bool has_id;
  std::string appended;  // AppendText after a marker
};

std::vector<Seen> Walk(const Node& node) {
  std::vector<Seen> seen;
  node.ForEachChildElement([&](const ElementView& element) {
    std::string appended = "|";
    element.AppendText(appended);
    seen.push_back({std::string(element.Name()), std::string(element.GetAttribute("id")), element.Text(),
                    element.HasAttribute("id"), appended});
  });
  return seen;
}

TEST(ChildWalkTest, ElementsOnlyInOrderWithAttributesAndTextAsHandlesSeeThem) {
  Document doc = Document::FreeThreaded();
  ASSERT_TRUE(doc.LoadXml(
      "<m>lead<a id='1' idx='x'>one</a><!--c--><b ida='2'>t<i>w</i><![CDATA[<o>]]><!--n-->&amp;</b><?pi x?>"
      "<c id=''/>tail</m>"));
  std::vector<Seen> seen = Walk(doc.DocumentElement());
  ASSERT_EQ(seen.size(), 3u);
  std::vector<Node> handles;
  for (Node child = doc.DocumentElement().FirstChild(); child; child = child.NextSibling()) {
    if (child.Type() == NodeType::kElement) handles.push_back(child);
  }
  ASSERT_EQ(handles.size(), seen.size());
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].name, handles[i].NodeName());
    EXPECT_EQ(seen[i].id, handles[i].GetAttribute("id"));
    EXPECT_EQ(seen[i].has_id, handles[i].HasAttribute("id"));
    EXPECT_EQ(seen[i].text, handles[i].Text());
    EXPECT_EQ(seen[i].appended, "|" + seen[i].text);
  }
  // An attribute is found by its whole name, not a prefix of another's.
  EXPECT_EQ(seen[0].id, "1");
  EXPECT_FALSE(seen[1].has_id);
  EXPECT_TRUE(seen[2].has_id);
  EXPECT_EQ(seen[1].text, "tw<o>&");
}

TEST(ChildWalkTest, TheDocumentShowsItsElementOnlyAndNodesOutOfTheTreeAreNotSeen) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<?xml version='1.0'?><r><x/><y/></r>"));
  Node removed = doc.DocumentElement().RemoveChild(doc.DocumentElement().FirstChild());
  Node created = doc.CreateElement("z");
  std::vector<Seen> top = Walk(doc);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].name, "r");
  std::vector<Seen> below = Walk(doc.DocumentElement());
  ASSERT_EQ(below.size(), 1u);
  EXPECT_EQ(below[0].name, "y");
  EXPECT_TRUE(Walk(Node()).empty());
  EXPECT_TRUE(Walk(created).empty());
}

}  // namespace
}  // namespace platform::xml
