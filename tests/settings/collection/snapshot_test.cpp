// The collection's side of the snapshot: what is written, what comes back,
// the overwrite line, and the load's events.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/basic/err.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"
#include "settings/xml/c_settings_xml.h"

namespace settings {
namespace {

using platform::Variant;
using settings_testing::Snapshot;
using platform::VarType;
using settings_testing::EventRecorder;

class SnapshotTest : public settings_testing::SettingsTest {
 protected:
  // The collection's snapshot read back into a new collection.
  std::shared_ptr<cSettings> Reloaded(cSettings& source) {
    auto copy = std::make_shared<cSettings>();
    copy->CreateSnapshotFromString(source.WriteSnapshotToString());
    return copy;
  }
};

TEST_F(SnapshotTest, TransientNamesStayBehindAndMembersTravelAsMV) {
  cSettings source;
  source.SetValue("tmp.session", "x");
  source.SetValue("features.list=A", true);
  source.SetValue("features.list=F", false);
  source.SetValue("features.list=v", Variant::Null());
  source.SetValue("features.list=x", "text");
  EXPECT_EQ(source.WriteSnapshotToString(),
            Snapshot("<features.list.MV VT=\"8\">a</features.list.MV><features.list.MV VT=\"8\">x</features.list.MV>"));
  auto copy = Reloaded(source);
  EXPECT_FALSE(copy->Exists("tmp.session"));
  EXPECT_TRUE(copy->GetValue("features.list=a").BoolValue());
  EXPECT_TRUE(copy->GetValue("features.list=x").BoolValue());
  EXPECT_FALSE(copy->Exists("features.list=f"));
  EXPECT_EQ(copy->Count(), 2u);
}

TEST_F(SnapshotTest, ValuesComeBackAsTextExceptBooleans) {
  cSettings source;
  source.SetValue("sys.count", 5);
  source.SetValue("sys.flag", true);
  source.SetValue("sys.off", false);
  source.SetValue("sys.ratio", 2.5);
  auto copy = Reloaded(source);
  EXPECT_TRUE(platform::Identical(copy->GetValue("sys.count"), Variant("5")));
  EXPECT_EQ(copy->GetValueL("sys.count"), 5);
  EXPECT_TRUE(platform::Identical(copy->GetValue("sys.flag"), Variant(true)));
  EXPECT_TRUE(platform::Identical(copy->GetValue("sys.off"), Variant(false)));
  EXPECT_TRUE(platform::Identical(copy->GetValue("sys.ratio"), Variant("2.5")));
}

TEST_F(SnapshotTest, ALoadReplacesEntriesClearsDirtyAndRaisesSettingsLoaded) {
  auto settings = std::make_shared<cSettings>();
  settings->SetNamespace("app");
  settings->SetValue("old", 1);
  EventRecorder recorder(*settings);
  settings->CreateSnapshotFromString(Snapshot("<x VT=\"8\">1</x><sys.y VT=\"8\">2</sys.y>"));
  EXPECT_FALSE(settings->Exists("app.old"));
  EXPECT_EQ(settings->GetValue("x").StringValue(), "1");  // restored into the namespace
  EXPECT_TRUE(settings->Exists("app.x"));
  EXPECT_TRUE(settings->Exists("sys.y"));
  EXPECT_FALSE(settings->Dirty());
  EXPECT_EQ(settings->Namespace(), "app.");
  ASSERT_EQ(recorder.Names(), (std::vector<std::string>{"SettingsLoaded"}));
  EXPECT_EQ(recorder.events[0].id, kDispIdSettingsLoaded);
}

TEST_F(SnapshotTest, MalformedTextLeavesTheCollectionEmptyAndIsLogged) {
  auto settings = std::make_shared<cSettings>();
  settings->SetValue("sys.keep", 1);
  EventRecorder recorder(*settings);
  settings->CreateSnapshotFromString("<VeltrisSettings><cSettings name=");
  EXPECT_EQ(settings->Count(), 0u);
  EXPECT_FALSE(settings->Dirty());
  EXPECT_EQ(recorder.Names(), (std::vector<std::string>{"SettingsLoaded"}));
  const auto lines = LogMessagesStarting("Unable to load settings.  XML error: ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("  Settings string: <VeltrisSettings><cSettings name=")) << lines[0];
}

TEST_F(SnapshotTest, LoadingUserSettingsOverSystemSettingsLogsTheOverwrite) {
  struct Case {
    const char* old_properties;
    const char* new_properties;
    const char* line;  // nullptr: no line
  };
  const Case cases[] = {
      {"<legacy.signature VT=\"8\">SPv1</legacy.signature>",
       "<legacy.signature VT=\"8\"> TPv1a </legacy.signature><user.id VT=\"8\">7</user.id>",
       "Settings: Overwrote settings for <System> with settings for <User(a):7>"},
      {"<legacy.signature VT=\"8\">TPv1u</legacy.signature><user.id VT=\"8\">3</user.id>",
       "<legacy.signature VT=\"8\">SPv1</legacy.signature>",
       "Settings: Overwrote settings for <User(u):3> with settings for <System>"},
      // Same kind, or nothing known before: no line.
      {"<legacy.signature VT=\"8\">TPv1u</legacy.signature><user.id VT=\"8\">3</user.id>",
       "<legacy.signature VT=\"8\">TPv1a</legacy.signature><user.id VT=\"8\">4</user.id>", nullptr},
      {"", "<legacy.signature VT=\"8\">SPv1</legacy.signature>", nullptr},
      {"<legacy.signature VT=\"8\">SPv1</legacy.signature>", "<legacy.signature VT=\"8\">SPv1</legacy.signature>",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.new_properties);
    testing_support::WriteFileBytes(service::SystemLogPath(), "");
    cSettings settings;
    settings.CreateSnapshotFromString(Snapshot(c.old_properties));
    settings.CreateSnapshotFromString(Snapshot(c.new_properties));
    const auto lines = LogMessagesStarting("Settings: Overwrote");
    if (c.line) {
      EXPECT_EQ(lines, (std::vector<std::string>{c.line}));
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

// The collection refuses such values at the write (storable_setting_test);
// the writer keeps its own error for whatever reaches it.
class OneProperty : public PropertyBagObject {
 public:
  OneProperty(std::string name, Variant value) : name_(std::move(name)), value_(std::move(value)) {}
  void SaveToPropertyBag(cSettingsXML& writer) override {
    writer.WriteProperty("sys.ok", Variant(1));
    writer.WriteProperty(name_, value_);
  }
  void RestoreProperty(std::string_view, std::string, int32_t) override {}
  std::string TypeName() const override { return "cSettings"; }

 private:
  std::string name_;
  Variant value_;
};

TEST_F(SnapshotTest, AValueTheSnapshotCannotHoldFailsItWithTheWritersError) {
  const Variant bad_values[] = {
      Variant::Error(5),
      Variant::Array({Variant(1), Variant(2)}),
      Variant(std::make_shared<platform::com::Object>()),
  };
  for (const Variant& bad : bad_values) {
    SCOPED_TRACE(platform::DebugString(bad));
    OneProperty object("sys.bad", bad);
    cSettingsXML writer;
    try {
      writer.SaveState(&object, kSnapshotObjectName);
      ADD_FAILURE() << "no error";
    } catch (const platform::BasicError& error) {
      EXPECT_EQ(error.number(), kErrInvalidPropertyValueType);
      EXPECT_EQ(error.description(), "Invalid PropertyValue type.");
      EXPECT_EQ(error.source(), "hearth.vbalXMLPBag");
    }
  }
}

TEST_F(SnapshotTest, ACollectionIsNeverSetIntoItselfOrIntoOneItHolds) {
  auto settings = std::make_shared<cSettings>();
  auto inner = std::make_shared<cSettings>();
  EXPECT_THROW(settings->SetValue("sys.self", Variant(settings)), platform::BasicError);
  settings->SetValue("sys.inner", Variant(inner));
  EXPECT_THROW(inner->SetValue("sys.outer", Variant(settings)), platform::BasicError);
  EXPECT_FALSE(inner->Exists("sys.outer"));
  EXPECT_NO_THROW(settings->WriteSnapshotToString());
}

TEST_F(SnapshotTest, ANameThatIsNoXmlNameFailsTheSnapshot) {
  OneProperty object("sys.bad name", Variant(1));
  cSettingsXML writer;
  try {
    writer.SaveState(&object, kSnapshotObjectName);
    ADD_FAILURE() << "no error";
  } catch (const platform::BasicError& error) {
    EXPECT_EQ(error.number(), kErrInvalidXmlName);
  }
}

}  // namespace
}  // namespace settings
