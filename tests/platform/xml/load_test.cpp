#include <gtest/gtest.h>

#include "platform/xml/document.h"
#include "testing/temp_root.h"

namespace platform::xml {
namespace {

TEST(DocumentLoadTest, WellFormedTextLoads) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<root a=\"1\"><child>text</child></root>"));
  EXPECT_FALSE(doc.GetParseError().Failed());
  EXPECT_EQ(doc.DocumentElement().NodeName(), "root");
  EXPECT_EQ(doc.Xml(), "<root a=\"1\"><child>text</child></root>");
}

TEST(DocumentLoadTest, FailureGivesTheReasonAndOffsetAndAnEmptyDocument) {
  struct Case {
    const char* text;
    const char* reason;
    std::size_t offset;
  };
  const Case cases[] = {
      {"<a><b></a>", "Start-end tags mismatch", 8},
      {"", "No document element found", 0},
      {"   ", "No document element found", 3},
      {"<a>", "Start-end tags mismatch", 2},
      {"not xml", "Text is not allowed at the top level of the document", 0},
      {"<!-- only a comment -->", "No document element found", 23},
      {"<a/><b/>", "Only one top level element is allowed in an XML document", 4},
      {"<a/>text", "Text is not allowed at the top level of the document", 4},
      {"<a x=\"1\" x=\"2\"/>", "Duplicate attribute 'x'", 0},
      {"<a x=1/>", "Error parsing element attribute", 5},
      {"<a/><?xml version=\"1.0\"?>", "The XML declaration must stand at the start of the document", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Document doc;
    ASSERT_TRUE(doc.LoadXml("<old/>"));
    EXPECT_FALSE(doc.LoadXml(c.text));
    ParseError error = doc.GetParseError();
    EXPECT_TRUE(error.Failed());
    EXPECT_EQ(error.reason, c.reason);
    EXPECT_EQ(error.offset, c.offset);
    EXPECT_EQ(error.Describe(), std::string(c.reason) + " at offset " + std::to_string(c.offset));
    EXPECT_TRUE(doc.DocumentElement().IsNull());
    EXPECT_EQ(doc.Xml(), "");
  }
}

TEST(DocumentLoadTest, NulCharacterIsRejected) {
  Document doc;
  EXPECT_FALSE(doc.LoadXml(std::string_view("<a>x\0y</a>", 10)));
  EXPECT_EQ(doc.GetParseError().reason, "NUL character in the document");
  EXPECT_EQ(doc.GetParseError().offset, 4u);
}

TEST(DocumentLoadTest, SuccessfulLoadClearsTheLastError) {
  Document doc;
  EXPECT_FALSE(doc.LoadXml("<a>"));
  EXPECT_TRUE(doc.LoadXml("<a/>"));
  EXPECT_FALSE(doc.GetParseError().Failed());
  EXPECT_EQ(doc.GetParseError().Describe(), "");
}

TEST(DocumentLoadTest, WhitespaceBetweenElementsIsDroppedButLoneWhitespaceTextIsKept) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<features>\r\n  <f amsid=\"A\"/>\r\n  <f amsid=\"F\"/>\r\n  <blank> </blank>\r\n</features>"));
  Node root = doc.DocumentElement();
  EXPECT_EQ(root.ChildNodes().Length(), 3u);
  EXPECT_EQ(root.SelectSingleNode("blank").Text(), " ");
}

TEST(DocumentLoadTest, TextKeepsItsLineEndsAndEscapes) {
  // Values stored in snapshots come back byte for byte, CR LF included.
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a>line 1\r\nline 2 &lt;&amp;&gt; &#169;</a>"));
  EXPECT_EQ(doc.DocumentElement().Text(), "line 1\r\nline 2 <&> \xC2\xA9");
}

TEST(DocumentLoadTest, DeclarationCommentsAndProcessingInstructionsStay) {
  Document doc;
  const std::string text = "<?xml version=\"1.0\"?><!-- note --><?app data?><a><!--c--><b/></a>";
  ASSERT_TRUE(doc.LoadXml(text));
  EXPECT_EQ(doc.Xml(), text);
  NodeList top = doc.ChildNodes();
  ASSERT_EQ(top.Length(), 4u);
  EXPECT_EQ(top.Item(0).Type(), NodeType::kProcessingInstruction);
  EXPECT_EQ(top.Item(0).NodeName(), "xml");
  EXPECT_EQ(top.Item(0).Value(), "version=\"1.0\"");
  EXPECT_EQ(top.Item(1).Type(), NodeType::kComment);
  EXPECT_EQ(top.Item(2).NodeName(), "app");
  EXPECT_EQ(top.Item(3).NodeName(), "a");
}

TEST(DocumentLoadTest, ReloadReplacesContentWhileOldNodesStayUsable) {
  Document doc;
  Document same = doc;
  {
    ASSERT_TRUE(doc.LoadXml("<old><kept>1</kept></old>"));
    Node kept = doc.SelectSingleNode("/old/kept");
    ASSERT_TRUE(doc.LoadXml("<new/>"));  // a node of the old tree is held
    EXPECT_EQ(same.Xml(), "<new/>");
    EXPECT_EQ(kept.Text(), "1");  // still readable, now out of the tree
    EXPECT_TRUE(kept.ParentNode().ParentNode().IsNull());
    EXPECT_EQ(doc.SelectNodes("//kept").Length(), 0u);
  }
  ASSERT_TRUE(doc.LoadXml("<newer><x/></newer>"));  // only document handles are held
  EXPECT_EQ(same.Xml(), "<newer><x/></newer>");
  EXPECT_EQ(same.DocumentElement().NodeName(), "newer");
  EXPECT_EQ(same.SelectNodes("//x").Length(), 1u);
}

TEST(DocumentLoadTest, BytesThatAreNotUtf8PassThroughUnchanged) {
  // The system's text is its bytes; a value in another code page survives.
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a v=\"caf\xE9\">na\xEFve \xFF</a>"));
  EXPECT_EQ(doc.DocumentElement().Text(), "na\xEFve \xFF");
  EXPECT_EQ(doc.DocumentElement().GetAttribute("v"), "caf\xE9");
  EXPECT_EQ(doc.Xml(), "<a v=\"caf\xE9\">na\xEFve \xFF</a>");
}

TEST(DocumentLoadTest, DeeplyNestedDocument) {
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<e>";
  text += "x";
  for (int i = 0; i < kDepth; ++i) text += "</e>";
  Document doc;
  ASSERT_TRUE(doc.LoadXml(text));
  EXPECT_EQ(doc.Text(), "x");
  EXPECT_EQ(doc.Xml(), text);
  Node deepest = doc.SelectNodes("//e").Item(kDepth - 1);
  EXPECT_EQ(deepest.Text(), "x");
  doc.RemoveChild(doc.DocumentElement());
  EXPECT_EQ(deepest.Text(), "x");
  EXPECT_EQ(doc.Xml(), "");
}

TEST(DocumentLoadTest, LoadFile) {
  testing_support::TempRoot root;
  testing_support::WriteFileBytes(root / "branding.xml", "<branding><strings guest=\"Guest\"/></branding>");
  Document doc;
  ASSERT_TRUE(doc.LoadFile(root / "branding.xml"));
  EXPECT_EQ(doc.SelectSingleNode("/branding/strings").GetAttribute("guest"), "Guest");
  EXPECT_FALSE(doc.LoadFile(root / "missing.xml"));
  EXPECT_EQ(doc.GetParseError().reason, "Unable to read the file '" + (root / "missing.xml").string() + "'");
  EXPECT_TRUE(doc.DocumentElement().IsNull());
}

}  // namespace
}  // namespace platform::xml
