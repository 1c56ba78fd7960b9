// The reader: what it restores, what it passes over, and its log lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>

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

}  // namespace
}  // namespace settings
