// The snapshot document byte for byte, and what each kind of value reads
// back as.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/basic/date_time.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

using platform::Variant;
using settings_testing::Snapshot;

using SnapshotDocumentTest = settings_testing::SettingsTest;

TEST_F(SnapshotDocumentTest, OneValueOfEachKind) {
  auto nested = std::make_shared<cSettings>();
  nested->SetValue("inner.a", 1);
  nested->SetValue("inner.b", "x");
  cSettings settings;
  settings.SetValue("sys.empty", Variant());
  settings.SetValue("sys.null", Variant::Null());
  settings.SetValue("sys.nothing", Variant::Nothing());
  settings.SetValue("sys.nested", Variant(nested));
  settings.SetValue("sys.integer", Variant::Integer(7));
  settings.SetValue("sys.long", 70000);
  settings.SetValue("sys.double", 2.5);
  settings.SetValue("sys.boolean", true);
  settings.SetValue("sys.date", Variant::Date(platform::DateSerial(2000, 1, 2) + 0.5));
  settings.SetValue("sys.numtext", "42");
  settings.SetValue("sys.datetext", "1/2/2003");
  settings.SetValue("sys.text", "hello world");
  settings.SetValue("sys.angle", "a<b");
  settings.SetValue("sys.bytes", Variant(std::vector<uint8_t>{0, 1, 2, 255}));

  EXPECT_EQ(settings.WriteSnapshotToString(),
            Snapshot("<sys.empty vartype=\"empty\" VT=\"0\"></sys.empty>"
                     "<sys.null vartype=\"null\" VT=\"1\"></sys.null>"
                     "<sys.nothing vartype=\"nothing\" VT=\"9\"></sys.nothing>"
                     "<cSettings name=\"sys.nested\"><inner.a VT=\"3\">1</inner.a><inner.b VT=\"8\">x</inner.b>"
                     "</cSettings>"
                     "<sys.integer VT=\"2\">7</sys.integer>"
                     "<sys.long VT=\"3\">70000</sys.long>"
                     "<sys.double VT=\"5\">2.5</sys.double>"
                     "<sys.boolean VT=\"11\">True</sys.boolean>"
                     "<sys.date VT=\"7\">1/2/2000 12:00:00 PM</sys.date>"
                     "<sys.numtext VT=\"8\">42</sys.numtext>"
                     "<sys.datetext VT=\"8\">1/2/2003</sys.datetext>"
                     "<sys.text VT=\"8\">hello world</sys.text>"
                     "<sys.angle VT=\"8\"><![CDATA[a<b]]></sys.angle>"
                     "<sys.bytes xmlns:dt=\"urn:schemas-microsoft-com:datatypes\" dt:dt=\"bin.base64\" "
                     "VT=\"8209\">AAEC/w==</sys.bytes>"));

  cSettings copy;
  copy.CreateSnapshotFromString(settings.WriteSnapshotToString());
  struct Expected {
    const char* name;
    Variant value;
  };
  const Expected expected[] = {
      {"sys.empty", Variant("")},
      {"sys.null", Variant("")},
      {"sys.nothing", Variant("")},
      // A nested collection comes back as the text of its values, under the
      // name of its element.
      {"csettings", Variant("1x")},
      {"sys.integer", Variant("7")},
      {"sys.long", Variant("70000")},
      {"sys.double", Variant("2.5")},
      {"sys.boolean", Variant(true)},
      {"sys.date", Variant("1/2/2000 12:00:00 PM")},
      {"sys.numtext", Variant("42")},
      {"sys.datetext", Variant("1/2/2003")},
      {"sys.text", Variant("hello world")},
      {"sys.angle", Variant("a<b")},
      {"sys.bytes", Variant(std::string("\x00\x01\x02\xff", 4))},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(copy.Exists(e.name));
    EXPECT_TRUE(platform::Identical(copy.GetValue(e.name), e.value)) << copy.GetValue(e.name);
  }
  EXPECT_EQ(copy.Count(), std::size(expected));
}

TEST_F(SnapshotDocumentTest, AnEmptyCollectionIsTheEmptySnapshot) {
  cSettings settings;
  settings.SetValue("tmp.only", 1);
  EXPECT_EQ(settings.WriteSnapshotToString(), kEmptySnapshot);
  EXPECT_EQ(std::string(kEmptySnapshot),
            "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>");
}

TEST_F(SnapshotDocumentTest, TextsReadBackUnchanged) {
  const std::string texts[] = {
      "a>b",        "x]]>y<z",   "]]>",           "Tom & \"Jerry\" 'x'", "  padded  ", "line\r\nbreak",
      "tab\there",  "bell\x07",  "caf\xc3\xa9",   "&amp;",               "<![CDATA[",
  };
  cSettings settings;
  for (size_t i = 0; i < std::size(texts); ++i) settings.SetValue("t.v" + std::to_string(i), texts[i]);
  cSettings copy;
  copy.CreateSnapshotFromString(settings.WriteSnapshotToString());
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(texts[i]);
    EXPECT_EQ(copy.GetValue("t.v" + std::to_string(i)).StringValue(), texts[i]);
  }
}

TEST_F(SnapshotDocumentTest, SavingTwiceIntoOneWriterLeavesOneObjectElement) {
  cSettings first;
  first.SetValue("a.one", 1);
  cSettings second;
  second.SetValue("a.two", 2);
  cSettingsXML writer;
  writer.SaveState(&first, kSnapshotObjectName);
  writer.SaveState(&second, kSnapshotObjectName);
  writer.SaveState(&first, "Other");
  writer.SaveState(nullptr, kSnapshotObjectName);
  EXPECT_EQ(writer.GetXML(),
            "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><a.two VT=\"3\">2</a.two></cSettings>"
            "<cSettings name=\"Other\"><a.one VT=\"3\">1</a.one></cSettings></VeltrisSettings>");
}

TEST_F(SnapshotDocumentTest, AWriterWithoutDocumentGivesEmptyText) {
  cSettingsXML writer;
  EXPECT_EQ(writer.GetXML(), "");
}

}  // namespace
}  // namespace settings
