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

}  // namespace
}  // namespace platform::xml
