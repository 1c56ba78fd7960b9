// Building and changing trees.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/xml/document.h"

namespace platform::xml {
namespace {

TEST(TreeTest, NodeKindsAndNames) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a><b/>text<![CDATA[cd]]><!--note--></a>"));
  struct Case {
    NodeType type;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {NodeType::kElement, "b", ""},
      {NodeType::kText, "#text", "text"},
      {NodeType::kCData, "#cdata-section", "cd"},
      {NodeType::kComment, "#comment", "note"},
  };
  NodeList children = doc.DocumentElement().ChildNodes();
  ASSERT_EQ(children.Length(), 4u);
  for (std::size_t i = 0; i < children.Length(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(children.Item(i).Type(), cases[i].type);
    EXPECT_EQ(children.Item(i).NodeName(), cases[i].name);
    EXPECT_EQ(children.Item(i).Value(), cases[i].value);
  }
  EXPECT_EQ(doc.Type(), NodeType::kDocument);
  EXPECT_EQ(doc.NodeName(), "#document");
  EXPECT_EQ(Node().Type(), NodeType::kNull);
  // Text: every text and CDATA below, without comments.
  EXPECT_EQ(doc.DocumentElement().Text(), "textcd");
  EXPECT_EQ(doc.Text(), "textcd");
}

TEST(TreeTest, NavigationAndOwnerDocument) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a><b/><c/><d/></a>"));
  Node a = doc.DocumentElement();
  EXPECT_EQ(a.FirstChild().NodeName(), "b");
  EXPECT_EQ(a.LastChild().NodeName(), "d");
  EXPECT_EQ(a.FirstChild().NextSibling().NodeName(), "c");
  EXPECT_EQ(a.LastChild().PreviousSibling().NodeName(), "c");
  EXPECT_TRUE(a.LastChild().NextSibling().IsNull());
  EXPECT_TRUE(a.NextSibling().IsNull());
  EXPECT_EQ(a.ParentNode(), doc);
  EXPECT_TRUE(doc.ParentNode().IsNull());
  EXPECT_EQ(a.FirstChild().OwnerDocument(), doc);
  EXPECT_TRUE(a.HasChildNodes());
  EXPECT_FALSE(a.FirstChild().HasChildNodes());
  EXPECT_EQ(doc.FirstChild(), a);
  EXPECT_EQ(doc.LastChild(), a);
}

TEST(TreeTest, AppendInsertAndSetText) {
  Document doc;
  Node root = doc.AppendChild(doc.CreateElement("root"));
  Node second = root.AppendChild(doc.CreateElement("second"));
  root.InsertBefore(doc.CreateElement("first"), second);
  root.InsertBefore(doc.CreateTextNode("tail"), Node());
  second.SetText("2");
  EXPECT_EQ(doc.Xml(), "<root><first/><second>2</second>tail</root>");
  second.SetText("two");
  second.AppendChild(doc.CreateComment("c"));
  EXPECT_EQ(second.Xml(), "<second>two<!--c--></second>");
  second.SetText("");
  EXPECT_EQ(second.Xml(), "<second/>");
  // Moving a node of the same document takes it from its old place.
  root.AppendChild(root.FirstChild());
  EXPECT_EQ(doc.Xml(), "<root><second/>tail<first/></root>");
}

TEST(TreeTest, ReplaceAndRemove) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<VeltrisSettings><cSettings name=\"a\"><x/></cSettings><other/></VeltrisSettings>"));
  Node root = doc.DocumentElement();
  Node fresh = doc.CreateElement("cSettings");
  fresh.SetAttribute("name", "a");
  Node old = root.ReplaceChild(fresh, root.FirstChild());
  ASSERT_FALSE(old.IsNull());
  EXPECT_EQ(doc.Xml(), "<VeltrisSettings><cSettings name=\"a\"/><other/></VeltrisSettings>");
  // The replaced node lives on, out of the tree, with its children.
  EXPECT_EQ(old.Xml(), "<cSettings name=\"a\"><x/></cSettings>");
  EXPECT_TRUE(old.ParentNode().IsNull());
  Node removed = root.RemoveChild(root.LastChild());
  EXPECT_EQ(removed.NodeName(), "other");
  EXPECT_EQ(doc.Xml(), "<VeltrisSettings><cSettings name=\"a\"/></VeltrisSettings>");
  // A removed node can be put back.
  root.AppendChild(removed);
  EXPECT_EQ(doc.Xml(), "<VeltrisSettings><cSettings name=\"a\"/><other/></VeltrisSettings>");
}

TEST(TreeTest, AttributesAnswerToTheirWholeNameOnly) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a id='1' idx='2'/>"));
  Node a = doc.DocumentElement();
  const std::string_view with_nul("id\0x", 4);  // names no attribute: it must not stop at the NUL
  EXPECT_EQ(a.GetAttribute("id"), "1");
  EXPECT_EQ(a.GetAttribute("idx"), "2");
  EXPECT_EQ(a.GetAttribute("i"), "");
  EXPECT_EQ(a.GetAttribute(with_nul), "");
  EXPECT_FALSE(a.HasAttribute(with_nul));
  EXPECT_FALSE(a.RemoveAttribute(with_nul));
  EXPECT_EQ(a.Xml(), "<a id=\"1\" idx=\"2\"/>");
  EXPECT_FALSE(a.SetAttribute(with_nul, "3"));
  EXPECT_TRUE(a.RemoveAttribute("id"));
  EXPECT_EQ(a.Xml(), "<a idx=\"2\"/>");
}

TEST(TreeTest, ForbiddenChangesDoNothing) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a><b><c/></b><d/></a>"));
  Node a = doc.DocumentElement();
  Node b = a.FirstChild();
  Node c = b.FirstChild();
  Node d = a.LastChild();
  struct Case {
    const char* what;
    Node result;
  };
  Document other;
  const Case cases[] = {
      {"into itself", b.AppendChild(b)},
      {"into its own descendant", c.AppendChild(b)},
      {"second document element", doc.AppendChild(doc.CreateElement("x"))},
      {"text at the top level", doc.AppendChild(doc.CreateTextNode("x"))},
      {"under a text node", doc.CreateTextNode("t").AppendChild(doc.CreateElement("x"))},
      {"a document as child", a.AppendChild(other)},
      {"remove a grandchild", a.RemoveChild(c)},
      {"replace a non-child", a.ReplaceChild(doc.CreateElement("x"), c)},
      {"insert before a non-child", a.InsertBefore(doc.CreateElement("x"), c)},
      {"null child", a.AppendChild(Node())},
      {"on a null node", Node().AppendChild(d)},
  };
  for (const Case& test : cases) EXPECT_TRUE(test.result.IsNull()) << test.what;
  EXPECT_EQ(doc.Xml(), "<a><b><c/></b><d/></a>");
}

TEST(TreeTest, DocumentElementCanBeReplaced) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<old><x/></old>"));
  Node fresh = doc.CreateElement("fresh");
  EXPECT_EQ(doc.SetDocumentElement(fresh), fresh);
  EXPECT_EQ(doc.Xml(), "<fresh/>");
  Document empty;
  EXPECT_FALSE(empty.SetDocumentElement(empty.CreateElement("first")).IsNull());
  EXPECT_EQ(empty.Xml(), "<first/>");
}

TEST(TreeTest, CloneNodeDeepAndShallow) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a x=\"1\" y=\"2\"><b>t</b></a>"));
  Node a = doc.DocumentElement();
  Node deep = a.CloneNode(true);
  Node shallow = a.CloneNode(false);
  EXPECT_EQ(deep.Xml(), "<a x=\"1\" y=\"2\"><b>t</b></a>");
  EXPECT_EQ(shallow.Xml(), "<a x=\"1\" y=\"2\"/>");
  EXPECT_TRUE(deep.ParentNode().IsNull());
  EXPECT_EQ(deep.OwnerDocument(), doc);
  // The copy is separate from the original.
  deep.FirstChild().SetText("changed");
  EXPECT_EQ(a.Text(), "t");
  a.AppendChild(deep);
  EXPECT_EQ(doc.Xml(), "<a x=\"1\" y=\"2\"><b>t</b><a x=\"1\" y=\"2\"><b>changed</b></a></a>");
  // A cloned document is a new document.
  Node copy = doc.CloneNode(true);
  EXPECT_EQ(copy.Type(), NodeType::kDocument);
  EXPECT_EQ(copy.Xml(), doc.Xml());
  doc.DocumentElement().SetAttribute("x", "9");
  EXPECT_NE(copy.Xml(), doc.Xml());
}

TEST(TreeTest, NodesOfAnotherDocumentAreCopiedIn) {
  Document work;
  ASSERT_TRUE(work.LoadXml("<root/>"));
  Document source;
  ASSERT_TRUE(source.LoadXml("<plugins><p rank=\"2\"><progid>B.x</progid></p><p rank=\"1\"/></plugins>"));
  Node entry = source.SelectSingleNode("//p[@rank='2']");
  Node copied = work.DocumentElement().AppendChild(entry);
  ASSERT_FALSE(copied.IsNull());
  EXPECT_NE(copied, entry);
  EXPECT_EQ(copied.OwnerDocument(), work);
  EXPECT_EQ(work.Xml(), "<root><p rank=\"2\"><progid>B.x</progid></p></root>");
  // The source keeps its node.
  EXPECT_EQ(source.SelectNodes("//p").Length(), 2u);
  // Replacing the document element by another document's element.
  EXPECT_FALSE(work.SetDocumentElement(source.DocumentElement()).IsNull());
  EXPECT_EQ(work.Xml(), source.Xml());
}

}  // namespace
}  // namespace platform::xml
