// The in-place readers of pugixml's records: the installed pugixml has the
// layout they read, and every reading answers alike in place and through
// pugixml's accessors.
#include <gtest/gtest.h>

#include <string>

#include "platform/xml/document.h"
#include "platform/xml/raw_tree.h"

namespace platform::xml {
namespace {

class ReadThroughAccessors {
 public:
  ReadThroughAccessors() : previous_(detail::ReadInPlaceForTesting(false)) {}
  ~ReadThroughAccessors() { detail::ReadInPlaceForTesting(previous_); }

 private:
  bool previous_;
};

// Everything the readers answer about node and below, as one text.
void Describe(const Node& node, std::string& out) {
  out += "[" + std::to_string(static_cast<int>(node.Type())) + " " + node.NodeName() + " v=" + node.Value() +
         " t=" + node.Text() + " c=" + (node.HasChildNodes() ? "1" : "0");
  for (const Attribute& attribute : node.Attributes()) out += " @" + attribute.name + "=" + attribute.value;
  out += " id=" + node.GetAttribute("id") + (node.HasAttribute("id") ? "+" : "-");
  out += " first=" + node.FirstChild().NodeName() + " last=" + node.LastChild().NodeName() +
         " next=" + node.NextSibling().NodeName() + " prev=" + node.PreviousSibling().NodeName() +
         " up=" + node.ParentNode().NodeName();
  node.ForEachChildElement([&](const ElementView& element) {
    out += " <" + std::string(element.Name()) + " " + std::string(element.GetAttribute("id")) + " " + element.Text();
  });
  for (const Node& child : node.ChildNodes()) Describe(child, out);
  out += "]";
}

std::string DescribeDocument() {
  Document doc;
  EXPECT_TRUE(doc.LoadXml(
      "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e 'x'>]><!--top--><r id='1' a='x' ida='2'>lead<a id=''>one</a>"
      "<b>t<i>w</i><![CDATA[<o>]]><!--n-->&amp;</b><?pi data?><c/>tail</r>"));
  Node removed = doc.DocumentElement().RemoveChild(doc.DocumentElement().FirstChild().NextSibling());
  Node created = doc.CreateElement("made");
  created.SetAttribute("id", "new");
  std::string out;
  Describe(doc, out);
  Describe(removed, out);
  Describe(created, out);
  out += " selected=" + std::to_string(doc.SelectNodes("//*[@id]").Length());
  for (const char* text : {"<a x='1' x='2'/>", "<a x='1' y='2' z='3' x='4'/>",
                           "<a a1='' a2='' a3='' a4='' a5='' a6='' a7='' a8='' a9='' a2=''/>", "<a x='1' y='2'/>"}) {
    const bool loaded = doc.LoadXml(text);
    out += " load=" + std::to_string(loaded) + doc.GetParseError().Describe();
  }
  return out;
}

TEST(RawTreeTest, TheInstalledPugixmlHasTheLayoutTheReadersUse) { EXPECT_TRUE(detail::ReadsInPlace()); }

TEST(RawTreeTest, ReadersAnswerAlikeInPlaceAndThroughTheAccessors) {
  const std::string in_place = DescribeDocument();
  std::string through_accessors;
  {
    ReadThroughAccessors accessors;
    EXPECT_FALSE(detail::ReadsInPlace());
    through_accessors = DescribeDocument();
  }
  EXPECT_EQ(in_place, through_accessors);
  // And what they answer is right, not merely alike.
  EXPECT_NE(in_place.find("[1 r v= t=leadtw<o>&tail c=1 @id=1 @a=x @ida=2 id=1+ first=#text last=#text next= "
                          "prev=#comment up=#document <b  tw<o>& <c  [3 #text v=lead"),
            std::string::npos)
      << in_place;
  EXPECT_NE(in_place.find("[10 r v=r [<!ENTITY e 'x'>] t=r [<!ENTITY e 'x'>]"), std::string::npos) << in_place;
  EXPECT_NE(in_place.find("[1 a v= t=one c=1 @id= id=+ first=#text last=#text next= prev= up=[3 #text v=one"),
            std::string::npos)
      << in_place;
  EXPECT_NE(in_place.find("selected=1 load=0Duplicate attribute 'x' at offset 0 load=0Duplicate attribute 'x' at "
                          "offset 0 load=0Duplicate attribute 'a2' at offset 0 load=1"),
            std::string::npos)
      << in_place;
}

}  // namespace
}  // namespace platform::xml
