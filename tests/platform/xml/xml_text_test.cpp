// Xml(): the exact bytes of the written document.
#include <gtest/gtest.h>

#include "platform/xml/document.h"

namespace platform::xml {
namespace {

TEST(XmlTextTest, TheEmptySnapshotWithSeparateTags) {
  Document doc;
  Node root = doc.AppendChild(doc.CreateElement("VeltrisSettings"));
  Node object = root.AppendChild(doc.CreateElement("cSettings"));
  object.SetAttribute("name", "Windows_v1.50");
  EXPECT_EQ(doc.Xml(EmptyElements::kStartEndTags),
            "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>");
  EXPECT_EQ(doc.Xml(), "<VeltrisSettings><cSettings name=\"Windows_v1.50\"/></VeltrisSettings>");
  // And it reads back to the same bytes.
  Document again;
  ASSERT_TRUE(again.LoadXml("<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>"));
  EXPECT_EQ(again.Xml(EmptyElements::kStartEndTags),
            "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>");
}

TEST(XmlTextTest, EscapingOfTextAndAttributes) {
  struct Case {
    const char* value;
    const char* text_form;
    const char* attribute_form;
  };
  const Case cases[] = {
      {"plain", "plain", "plain"},
      {"a<b>c&d", "a&lt;b&gt;c&amp;d", "a&lt;b>c&amp;d"},
      {"say \"hi\" 'x'", "say \"hi\" 'x'", "say &quot;hi&quot; 'x'"},
      {"tab\tcr\rlf\n", "tab\tcr\rlf\n", "tab&#09;cr&#13;lf&#10;"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Document doc;
    Node element = doc.AppendChild(doc.CreateElement("v"));
    element.SetAttribute("VT", c.value);
    element.SetText(c.value);
    std::string expected = std::string("<v VT=\"") + c.attribute_form + "\">" + c.text_form + "</v>";
    EXPECT_EQ(doc.Xml(), expected);
    // Both come back unchanged from the written text.
    Document again;
    ASSERT_TRUE(again.LoadXml(doc.Xml()));
    EXPECT_EQ(again.DocumentElement().Text(), c.value);
    EXPECT_EQ(again.DocumentElement().GetAttribute("VT"), c.value);
  }
}

TEST(XmlTextTest, CDataSectionsAreWrittenAsTheyStand) {
  Document doc;
  Node element = doc.AppendChild(doc.CreateElement("v"));
  element.SetAttribute("VT", "8");
  element.AppendChild(doc.CreateCDATASection("<b>bold</b> & more"));
  EXPECT_EQ(doc.Xml(), "<v VT=\"8\"><![CDATA[<b>bold</b> & more]]></v>");
  Document again;
  ASSERT_TRUE(again.LoadXml(doc.Xml()));
  EXPECT_EQ(again.DocumentElement().FirstChild().Type(), NodeType::kCData);
  EXPECT_EQ(again.DocumentElement().Text(), "<b>bold</b> & more");
}

TEST(XmlTextTest, CDataHoldingTheEndMarkerIsSplitAndReadsBack) {
  Document doc;
  Node element = doc.AppendChild(doc.CreateElement("v"));
  element.AppendChild(doc.CreateCDATASection("a]]>b"));
  EXPECT_EQ(doc.Xml(), "<v><![CDATA[a]]]]><![CDATA[>b]]></v>");
  Document again;
  ASSERT_TRUE(again.LoadXml(doc.Xml()));
  EXPECT_EQ(again.DocumentElement().Text(), "a]]>b");
}

TEST(XmlTextTest, NoDeclarationIsAddedAndNoWhitespace) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a>\n  <b/>\n  <c>x</c>\n</a>"));
  EXPECT_EQ(doc.Xml(), "<a><b/><c>x</c></a>");
  EXPECT_EQ(doc.DocumentElement().LastChild().Xml(), "<c>x</c>");
  EXPECT_EQ(doc.DocumentElement().LastChild().FirstChild().Xml(), "x");
}

TEST(XmlTextTest, EmptyDocumentAndNullNodeWriteNothing) {
  EXPECT_EQ(Document().Xml(), "");
  EXPECT_EQ(Node().Xml(), "");
}

TEST(XmlTextTest, AttributesKeepTheirOrderAndChangeInPlace) {
  Document doc;
  Node element = doc.AppendChild(doc.CreateElement("e"));
  element.SetAttribute("vartype", "empty");
  element.SetAttribute("VT", "0");
  element.SetAttribute("z", "1");
  element.SetAttribute("vartype", "null");
  EXPECT_EQ(doc.Xml(), "<e vartype=\"null\" VT=\"0\" z=\"1\"/>");
  EXPECT_TRUE(element.RemoveAttribute("VT"));
  EXPECT_FALSE(element.RemoveAttribute("VT"));
  EXPECT_EQ(doc.Xml(), "<e vartype=\"null\" z=\"1\"/>");
  std::vector<Attribute> attributes = element.Attributes();
  ASSERT_EQ(attributes.size(), 2u);
  EXPECT_EQ(attributes[0].name, "vartype");
  EXPECT_EQ(attributes[1].value, "1");
  EXPECT_TRUE(element.HasAttribute("z"));
  EXPECT_FALSE(element.HasAttribute("VT"));
  EXPECT_EQ(element.GetAttribute("missing"), "");
}

TEST(XmlTextTest, InvalidNamesAreRefused) {
  Document doc;
  for (const char* name : {"", "1abc", "a b", "user.x=y", "a<b", "-x"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(doc.CreateElement(name).IsNull());
    EXPECT_FALSE(IsValidXmlName(name));
  }
  for (const char* name : {"sys.AppPath", "user.S-1-5-21-7.filename", "_x", "dt:dt", "a.MV", "\xC3\xA9t\xC3\xA9"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsValidXmlName(name));
    EXPECT_FALSE(doc.CreateElement(name).IsNull());
  }
  Node element = doc.AppendChild(doc.CreateElement("e"));
  EXPECT_FALSE(element.SetAttribute("bad name", "x"));
  EXPECT_EQ(doc.Xml(), "<e/>");
}

}  // namespace
}  // namespace platform::xml
