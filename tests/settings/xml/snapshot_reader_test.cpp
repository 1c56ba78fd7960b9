// The reader: what it restores, what it passes over, and its log lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

using platform::Variant;
using settings_testing::Snapshot;

using SnapshotReaderTest = settings_testing::SettingsTest;

TEST_F(SnapshotReaderTest, RestoringWithoutADocumentIsLogged) {
  cSettingsXML reader;
  cSettings settings;
  reader.RestoreState(&settings, kSnapshotObjectName);
  EXPECT_EQ(settings.Count(), 0u);
  EXPECT_TRUE(LogHas("SettingsXML.RestoreState: Unable to query for VeltrisSettings/cSettings"
                     "[@name=\"Windows_v1.50\"]; XML properties collection not present!"));
}

TEST_F(SnapshotReaderTest, TextThatDoesNotParseIsLoggedWithTheParsersReason) {
  cSettingsXML reader;
  EXPECT_FALSE(reader.LoadXML("<a><b></a>"));
  const auto lines = LogMessagesStarting("Unable to load settings.  XML error: ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("  Settings string: <a><b></a>"));
  EXPECT_GT(lines[0].size(), std::string("Unable to load settings.  XML error:   Settings string: <a><b></a>").size());
  cSettings settings;
  reader.RestoreState(&settings, kSnapshotObjectName);
  EXPECT_EQ(settings.Count(), 0u);
}

TEST_F(SnapshotReaderTest, AValueThatDoesNotConvertCostsOnlyItself) {
  cSettings settings;
  settings.CreateSnapshotFromString(Snapshot(
      "<a.first VT=\"8\">1</a.first><a.flag VT=\"11\">yes</a.flag><a.bin xmlns:dt=\"urn:schemas-microsoft-com:"
      "datatypes\" dt:dt=\"bin.base64\" VT=\"8209\">!!</a.bin><a.last VT=\"11\">true</a.last>"));
  EXPECT_EQ(settings.GetValue("a.first").StringValue(), "1");
  EXPECT_FALSE(settings.Exists("a.flag"));
  EXPECT_FALSE(settings.Exists("a.bin"));
  EXPECT_TRUE(settings.GetValue("a.last").BoolValue());
  EXPECT_EQ(LogMessagesStarting("SettingsXML.RestoreState: Unable to restore property 'a.flag'").size(), 1u);
  EXPECT_EQ(LogMessagesStarting("SettingsXML.RestoreState: Unable to restore property 'a.bin'").size(), 1u);
}

TEST_F(SnapshotReaderTest, OnlyElementsOfTheNamedObjectAreProperties) {
  cSettings settings;
  settings.CreateSnapshotFromString(
      "<VeltrisSettings><cSettings name=\"Other\"><o.x VT=\"8\">1</o.x></cSettings>"
      "<cSettings name=\"Windows_v1.50\">stray<!-- note --><A.Mixed VT=\"8\">v</A.Mixed><?pi x?>"
      "<![CDATA[data]]><b.novt>2</b.novt><c.badvt VT=\"x\">3</c.badvt></cSettings></VeltrisSettings>");
  EXPECT_EQ(settings.Count(), 3u);
  EXPECT_EQ(settings.GetValue("a.mixed").StringValue(), "v");
  EXPECT_EQ(settings.GetValue("b.novt").StringValue(), "2");
  EXPECT_EQ(settings.GetValue("c.badvt").StringValue(), "3");
  EXPECT_FALSE(settings.Exists("o.x"));
  // And the collection can be written again.
  EXPECT_NO_THROW(settings.WriteSnapshotToString());
}

TEST_F(SnapshotReaderTest, MembersAreReadBackInLowerCase) {
  cSettings settings;
  settings.CreateSnapshotFromString(Snapshot("<Features.List.MV VT=\"8\">Abc</Features.List.MV>"));
  EXPECT_TRUE(settings.Exists("features.list=abc"));
  EXPECT_TRUE(settings.GetValueB("features.list=ABC"));
  EXPECT_EQ(settings.EnumSettingNames("features.list=*"), "features.list=abc");
}

TEST_F(SnapshotReaderTest, ReadPropertyReadsTheCurrentObject) {
  cSettingsXML reader;
  reader.LoadXML(Snapshot("<a.t VT=\"8\">text</a.t><a.b xmlns:dt=\"urn:schemas-microsoft-com:datatypes\" "
                          "dt:dt=\"bin.base64\" VT=\"8209\">AQI=</a.b>"));
  cSettings settings;
  reader.RestoreState(&settings, kSnapshotObjectName);
  EXPECT_EQ(reader.ReadProperty("a.t", Variant(0)).StringValue(), "text");
  EXPECT_EQ(reader.ReadProperty("a.b", Variant(0)).Bytes(), (std::vector<uint8_t>{1, 2}));
  EXPECT_TRUE(platform::Identical(reader.ReadProperty("a.none", Variant(7)), Variant(7)));
}

// Every matching object element is read wherever it stands (a
// "VeltrisSettings" parent at any depth): the roots in document order, under
// each its object elements in order. A later value of a name replaces the
// earlier one where it stands.
TEST_F(SnapshotReaderTest, ObjectElementsAreReadRootByRoot) {
  cSettings settings;
  settings.CreateSnapshotFromString(
      "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><a.one VT=\"8\">1</a.one>"
      "<a.nest VT=\"8\"><VeltrisSettings><cSettings name=\"Windows_v1.50\"><b.inner VT=\"8\">2</b.inner>"
      "</cSettings></VeltrisSettings></a.nest><a.one VT=\"8\">again</a.one></cSettings>"
      "<x><cSettings name=\"Windows_v1.50\"><c.notunderroot VT=\"8\">4</c.notunderroot></cSettings></x>"
      "<cSettings><d.noname VT=\"8\">5</d.noname></cSettings>"
      "<cSettings name=\"Windows_v1.50\"><e.last VT=\"8\">6</e.last></cSettings></VeltrisSettings>");
  std::vector<std::string> names;
  for (std::size_t i = 0; i < settings.Count(); ++i) names.push_back(settings.NameAt(i));
  EXPECT_EQ(names, (std::vector<std::string>{"a.one", "a.nest", "e.last", "b.inner"}));
  EXPECT_EQ(settings.GetValue("a.one").StringValue(), "again");
  EXPECT_EQ(settings.GetValue("b.inner").StringValue(), "2");
}

// An object name that no query can hold matches nothing; an empty one
// matches every object element of the type.
TEST_F(SnapshotReaderTest, ObjectNamesSelectTheirElements) {
  const std::string text =
      "<VeltrisSettings><cSettings name=\"a&quot;b\"><q.x VT=\"8\">1</q.x></cSettings>"
      "<cSettings><n.x VT=\"8\">2</n.x></cSettings></VeltrisSettings>";
  cSettingsXML reader;
  ASSERT_TRUE(reader.LoadXML(text));
  cSettings quoted;
  reader.RestoreState(&quoted, "a\"b");
  EXPECT_EQ(quoted.Count(), 0u);
  cSettings any;
  reader.RestoreState(&any, "");
  EXPECT_EQ(any.Count(), 2u);
  EXPECT_TRUE(any.Exists("q.x"));
  EXPECT_TRUE(any.Exists("n.x"));
}

}  // namespace
}  // namespace settings
