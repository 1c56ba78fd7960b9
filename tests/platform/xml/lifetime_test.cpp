// Handles keep their document alive; free-threaded documents take a lock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml/document.h"

namespace platform::xml {
namespace {

TEST(LifetimeTest, NodesAndListsOutliveTheDocumentHandle) {
  Node element;
  NodeList items;
  {
    Document doc;
    ASSERT_TRUE(doc.LoadXml("<a><item n=\"1\"/><item n=\"2\"/></a>"));
    element = doc.DocumentElement();
    items = doc.SelectNodes("//item");
  }
  ASSERT_EQ(items.Length(), 2u);
  EXPECT_EQ(items.Item(1).GetAttribute("n"), "2");
  EXPECT_EQ(element.Xml(), "<a><item n=\"1\"/><item n=\"2\"/></a>");
  Document owner = element.OwnerDocument();
  EXPECT_EQ(owner.DocumentElement(), element);
  element.AppendChild(owner.CreateElement("more"));
  EXPECT_EQ(owner.Xml(), "<a><item n=\"1\"/><item n=\"2\"/><more/></a>");
}

TEST(LifetimeTest, NodesOutOfTheTreeLiveWhileHeld) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a><b><c>deep</c></b></a>"));
  Node c = doc.SelectSingleNode("//c");
  doc.DocumentElement().RemoveChild(doc.DocumentElement().FirstChild());  // result dropped at once
  EXPECT_EQ(c.Text(), "deep");
  EXPECT_EQ(c.ParentNode().NodeName(), "b");
  // Replacing text and content many times does not keep the old nodes.
  Node a = doc.DocumentElement();
  for (int i = 0; i < 1000; ++i) {
    a.SetText(std::to_string(i));
    a.AppendChild(doc.CreateElement("x"));
    doc.CreateElement("unused");
    doc.DocumentElement().CloneNode(true);
  }
  EXPECT_EQ(a.Xml(), "<a>999<x/></a>");
  EXPECT_EQ(c.Text(), "deep");
}

TEST(LifetimeTest, AListCanBeTheLastHolderOfItsNodesAndOfItsDocument) {
  NodeList children;
  {
    Document doc;
    ASSERT_TRUE(doc.LoadXml("<a><b><c>1</c></b><d>2</d>text</a>"));
    Node a = doc.DocumentElement();
    children = a.ChildNodes();
    while (Node child = a.FirstChild()) a.RemoveChild(child);  // every child now out of the tree
    EXPECT_EQ(doc.Xml(), "<a/>");
  }
  ASSERT_EQ(children.Length(), 3u);
  EXPECT_EQ(children.Item(0).Xml(), "<b><c>1</c></b>");
  EXPECT_EQ(children.Item(1).Text(), "2");
  EXPECT_EQ(children.Item(2).Value(), "text");
  Document owner = children.Item(0).OwnerDocument();
  EXPECT_EQ(owner.Xml(), "<a/>");
}

TEST(LifetimeTest, DroppingAListKeepsWhatOtherHandlesHoldAndTheDocumentWorks) {
  struct Case {
    const char* name;
    bool hold_a_removed_node;
    bool hold_the_document_only;
  } cases[] = {
      {"another content handle", true, false},
      {"only the document", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Document doc;
    ASSERT_TRUE(doc.LoadXml("<a><b><c>deep</c></b><d/><e/></a>"));
    Node a = c.hold_the_document_only ? Node() : doc.DocumentElement();
    Node deep;
    {
      NodeList list = doc.DocumentElement().ChildNodes();
      for (const Node& child : list) doc.DocumentElement().RemoveChild(child);
      NodeList made{std::vector<Node>{doc.CreateElement("x"), doc.CreateElement("y")}};
      if (c.hold_a_removed_node) deep = list.Item(0).FirstChild();
      made = NodeList();
    }  // the list goes, with the only handles on most orphans
    if (c.hold_a_removed_node) {
      EXPECT_EQ(deep.Xml(), "<c>deep</c>");
      EXPECT_EQ(deep.ParentNode().NodeName(), "b");
    }
    Node fresh = doc.DocumentElement().AppendChild(doc.CreateElement("f"));
    fresh.SetText("new");
    EXPECT_EQ(doc.Xml(), "<a><f>new</f></a>");
    EXPECT_EQ(doc.SelectNodes("//*").Length(), 2u);
  }
}

TEST(LifetimeTest, AListOfNodesOfSeveralDocuments) {
  NodeList mixed;
  {
    Document one;
    Document two = Document::FreeThreaded();
    ASSERT_TRUE(one.LoadXml("<one><x/></one>"));
    ASSERT_TRUE(two.LoadXml("<two><y/></two>"));
    mixed = NodeList({one.DocumentElement(), Node(), one.DocumentElement().FirstChild(), two, two.DocumentElement(),
                      one, one.DocumentElement()});
    NodeList copy = mixed;
    EXPECT_EQ(copy.Item(4).NodeName(), "two");
  }
  ASSERT_EQ(mixed.Length(), 7u);
  EXPECT_TRUE(mixed.Item(1).IsNull());
  EXPECT_EQ(mixed.Item(2).NodeName(), "x");
  EXPECT_EQ(mixed.Item(3).Xml(), "<two><y/></two>");
  EXPECT_EQ(mixed.Item(5).Xml(), "<one><x/></one>");
  mixed = NodeList();  // both documents go with their last handles
  EXPECT_TRUE(mixed.Empty());
}

TEST(LifetimeTest, DocumentHandlesShareOneDocument) {
  Document doc;
  Document same = doc;
  ASSERT_TRUE(same.LoadXml("<a/>"));
  EXPECT_EQ(doc.Xml(), "<a/>");
  EXPECT_FALSE(doc.IsFreeThreaded());
  EXPECT_TRUE(Document::FreeThreaded().IsFreeThreaded());
  EXPECT_TRUE(Node().OwnerDocument().IsNull());
}

TEST(FreeThreadedTest, FourThreadsShareOneDocument) {
  // SharedData: one free-threaded document that threads read and change.
  Document doc = Document::FreeThreaded();
  ASSERT_TRUE(doc.LoadXml("<root />"));
  Node shared = doc.DocumentElement();
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::atomic<int> bad_reads{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = "t" + std::to_string(t);
      Node mine = shared.AppendChild(shared.OwnerDocument().CreateElement(name));
      for (int i = 0; i < kRounds; ++i) {
        Node entry = mine.AppendChild(doc.CreateElement("e"));
        entry.SetAttribute("i", std::to_string(i));
        entry.SetText(name);
        if (shared.SelectNodes("/root/" + name + "/e").Length() != static_cast<std::size_t>(i + 1 - i / 2)) ++bad_reads;
        if (i % 2 == 1) mine.RemoveChild(mine.FirstChild());  // keep removing the oldest
        if (doc.Xml().empty()) ++bad_reads;
        Node copy = shared;  // handles copied and dropped while others work
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(bad_reads.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    const std::string name = "t" + std::to_string(t);
    NodeList left = doc.SelectNodes("/root/" + name + "/e");
    EXPECT_EQ(left.Length(), static_cast<std::size_t>(kRounds / 2));
    EXPECT_EQ(left.Item(0).GetAttribute("i"), std::to_string(kRounds / 2));
    EXPECT_EQ(left.Item(0).Text(), name);
  }
}

TEST(FreeThreadedTest, ListsMadeAndDroppedWhileOtherThreadsChangeTheTree) {
  Document doc = Document::FreeThreaded();
  ASSERT_TRUE(doc.LoadXml("<root/>"));
  Node root = doc.DocumentElement();
  constexpr int kRounds = 300;
  std::atomic<int> bad_reads{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {  // changes: children come and go
      for (int i = 0; i < kRounds; ++i) {
        Node child = doc.CreateElement("c");
        child.SetText(std::to_string(i));
        root.AppendChild(child);
        // The other thread may take the first child between the look and the
        // removal: look again.
        if (i % 3 != 0) {
          while (!root.RemoveChild(root.FirstChild())) {
          }
        }
      }
    });
    threads.emplace_back([&] {  // readers: whole lists, held across the changes
      for (int i = 0; i < kRounds; ++i) {
        NodeList children = root.ChildNodes();
        for (const Node& child : children) {
          if (child.NodeName() != "c" || child.Text().empty()) ++bad_reads;
        }
        NodeList selected = doc.SelectNodes("/root/c");
        if (!selected.Empty() && selected.Item(0).NodeName() != "c") ++bad_reads;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(bad_reads.load(), 0);
  EXPECT_EQ(root.ChildNodes().Length(), static_cast<std::size_t>(2 * (kRounds / 3)));
}

}  // namespace
}  // namespace platform::xml
