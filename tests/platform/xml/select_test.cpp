// XPath selection.
#include <gtest/gtest.h>

#include "platform/xml/document.h"

namespace platform::xml {
namespace {

constexpr const char* kBranding =
    "<branding>"
    "<packages><group><item feature=\"A\" inittpl=\"av\"/><item feature=\"F\" inittpl=\"fw\"/></group>"
    "<item feature=\"A\" inittpl=\"av2\"/></packages>"
    "<defaults><av><av.enabled>True</av.enabled><av.level>3</av.level></av></defaults>"
    "</branding>";

std::vector<std::string> Attributes(const NodeList& list, const char* name) {
  std::vector<std::string> values;
  for (const Node& node : list) values.push_back(node.GetAttribute(name));
  return values;
}

TEST(SelectTest, PathsAndPredicatesInDocumentOrder) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml(kBranding));
  NodeList a = doc.SelectNodes("/branding/packages//item[@feature='A']");
  EXPECT_EQ(Attributes(a, "inittpl"), (std::vector<std::string>{"av", "av2"}));
  NodeList f = doc.SelectNodes("//item[@feature=\"F\"]");
  EXPECT_EQ(Attributes(f, "inittpl"), (std::vector<std::string>{"fw"}));
  EXPECT_EQ(doc.SelectNodes("//item[@feature='W']").Length(), 0u);
  // A union comes back in document order too.
  NodeList both = doc.SelectNodes("//av.level | //item[@feature='F'] | //packages");
  ASSERT_EQ(both.Length(), 3u);
  EXPECT_EQ(both.Item(0).NodeName(), "packages");
  EXPECT_EQ(both.Item(1).GetAttribute("feature"), "F");
  EXPECT_EQ(both.Item(2).NodeName(), "av.level");
  NodeList defaults = doc.DocumentElement().SelectNodes("defaults/av/*");
  ASSERT_EQ(defaults.Length(), 2u);
  EXPECT_EQ(defaults.Item(0).NodeName(), "av.enabled");
  EXPECT_EQ(defaults.Item(1).Text(), "3");
  EXPECT_TRUE(defaults.Item(2).IsNull());
}

TEST(SelectTest, SettingsObjectByName) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<VeltrisSettings><cSettings name=\"Other\"/><cSettings name=\"Windows_v1.50\">"
                          "<sys.x VT=\"8\">1</sys.x></cSettings></VeltrisSettings>"));
  Node object = doc.SelectSingleNode("//VeltrisSettings/cSettings[@name=\"Windows_v1.50\"]");
  ASSERT_FALSE(object.IsNull());
  EXPECT_EQ(object.FirstChild().NodeName(), "sys.x");
  EXPECT_EQ(doc.SelectNodes("//VeltrisSettings/cSettings").Length(), 2u);
  EXPECT_EQ(doc.SelectSingleNode("//VeltrisSettings/cSettings").GetAttribute("name"), "Other");
}

TEST(SelectTest, BadOrNonNodeExpressionsSelectNothing) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml(kBranding));
  for (const char* xpath : {"", "//item[", "count(//item)", "//@feature", "///", "item[@a='x y']/"}) {
    SCOPED_TRACE(xpath);
    EXPECT_EQ(doc.SelectNodes(xpath).Length(), 0u);
    EXPECT_TRUE(doc.SelectSingleNode(xpath).IsNull());
  }
  EXPECT_EQ(Node().SelectNodes("//item").Length(), 0u);
}

TEST(SelectTest, NodesOutOfTheTreeAreNotSelectedFromIt) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<root><x id=\"1\"/></root>"));
  Node loose = doc.CreateElement("x");
  loose.SetAttribute("id", "loose");
  loose.AppendChild(doc.CreateElement("y"));
  Node removed = doc.DocumentElement().RemoveChild(doc.SelectSingleNode("//x"));
  ASSERT_FALSE(removed.IsNull());
  EXPECT_EQ(doc.SelectNodes("//x").Length(), 0u);
  EXPECT_EQ(doc.SelectNodes("//*").Length(), 1u);
  // A selection made inside a loose node stays inside it.
  EXPECT_EQ(loose.SelectNodes("y").Length(), 1u);
  EXPECT_EQ(loose.SelectNodes("//y").Length(), 1u);
  EXPECT_EQ(loose.SelectNodes("//x").Length(), 1u);
  EXPECT_EQ(removed.SelectNodes("//y").Length(), 0u);
}

}  // namespace
}  // namespace platform::xml
