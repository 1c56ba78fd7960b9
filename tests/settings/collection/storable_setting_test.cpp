// Every write that would leave a collection no store could hold is refused
// at the write, with the reason, whichever way it arrives; the collection
// stays storable and reloads with what was accepted.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"
#include "settings/collection/storable_setting.h"

namespace settings {
namespace {

using platform::Variant;

struct Refused {
  const char* name;
  Variant value;
  const char* reason;  // words the refusal must carry
};

std::vector<Refused> RefusedForms() {
  return {
      {"sys.when", Variant::Date(3e6), "a Date setting must lie between 1 January 100 and 31 December 9999"},
      {"sys.when", Variant::Date(-7e5), "a Date setting must lie between"},
      {"sys.when", Variant::Date(std::numeric_limits<double>::quiet_NaN()), "a Date setting must lie between"},
      {"sys.error", Variant::Error(5), "a setting cannot hold a value of type Error"},
      {"sys.list", Variant::Array({Variant(1), Variant("a")}), "a setting cannot hold a value of type"},
      {"a b", Variant("x"), "\"a b\" cannot be a setting name (it is not a valid XML name)"},
      {"1abc", Variant("x"), "\"1abc\" cannot be a setting name"},
      {"sys.a<b", Variant("x"), "not a valid XML name"},
      {"=member", Variant(true), "\"=member\" cannot be a setting name"},
      {"sys. x", Variant("x"), "not a valid XML name"},
  };
}

// The ways a setting reaches a collection inside the service.
struct Writer {
  const char* path;
  std::function<void(const std::shared_ptr<cSettings>&, const std::string&, const Variant&)> write;
};

std::vector<Writer> Writers() {
  return {
      {"SetValue", [](const std::shared_ptr<cSettings>& s, const std::string& n, const Variant& v) { s->SetValue(n, v); }},
      // What a plug-in (hearth::Settings) and the dispatch table do.
      {"late bound",
       [](const std::shared_ptr<cSettings>& s, const std::string& n, const Variant& v) {
         platform::com::ObjectPtr object = s;
         platform::com::CallByName(object, "SetValue", {Variant(n), v});
       }},
  };
}

class StorableSettingTest : public settings_testing::SettingsTest {};

TEST_F(StorableSettingTest, EveryWriterRefusesWhatNoStoreCouldHoldAndTheCollectionStaysStorable) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.path);
    auto settings = std::make_shared<cSettings>();
    settings->SetValue("sys.kept", "yes");
    settings->SetValue("sys.date", Variant::Date(45000.5));
    const bool was_dirty = settings->Dirty();
    for (const Refused& form : RefusedForms()) {
      SCOPED_TRACE(form.name);
      try {
        writer.write(settings, form.name, form.value);
        ADD_FAILURE() << "accepted";
      } catch (const platform::BasicError& error) {
        EXPECT_EQ(error.number(), kErrUnstorableSetting);
        EXPECT_NE(error.description().find(form.reason), std::string::npos) << error.description();
      }
      platform::Err::Clear();
    }
    EXPECT_EQ(settings->Count(), 2u);
    EXPECT_EQ(settings->Dirty(), was_dirty);

    // The collection stores and reloads with what it accepted.
    std::string xml;
    ASSERT_NO_THROW(xml = settings->WriteSnapshotToString());
    auto reloaded = std::make_shared<cSettings>();
    reloaded->CreateSnapshotFromString(xml);
    EXPECT_EQ(platform::CStr(reloaded->GetValue("sys.kept")), "yes");
    EXPECT_EQ(platform::CStr(reloaded->GetValue("sys.date")), platform::CStr(Variant::Date(45000.5)));
    EXPECT_EQ(reloaded->Count(), 2u);
  }
}

TEST_F(StorableSettingTest, NamesAndValuesEveryStoreHoldsAreTaken) {
  auto settings = std::make_shared<cSettings>();
  const std::vector<std::pair<std::string, Variant>> taken = {
      {"sys.first", Variant::Date(platform::kMinDateSerial)},
      {"sys.last", Variant::Date(platform::kMaxDateSerial + 0.5)},
      {"sys.nan", Variant(std::numeric_limits<double>::quiet_NaN())},  // a Double: written as its text
      {"list=member", Variant(true)},
      {"tmp.a b", Variant::Error(5)},  // transient: never stored, so never judged by name
      {"tmp.error", Variant::Error(5)},
      {"sys.bytes", Variant::ByteArray(std::vector<uint8_t>{1, 2})},
      {"_x.y-z", Variant("v")},
  };
  for (const auto& [name, value] : taken) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW(settings->SetValue(name, value));
  }
  // Only transient names may hold what a store cannot; they never reach one.
  std::string xml;
  ASSERT_NO_THROW(xml = settings->WriteSnapshotToString());
  auto reloaded = std::make_shared<cSettings>();
  reloaded->CreateSnapshotFromString(xml);
  EXPECT_TRUE(reloaded->Exists("list=member"));
  EXPECT_TRUE(reloaded->Exists("sys.first"));
  EXPECT_TRUE(reloaded->Exists("_x.y-z"));
}

TEST_F(StorableSettingTest, ANamespaceNoNameCouldStartWithIsRefused) {
  auto settings = std::make_shared<cSettings>();
  settings->SetNamespace("app");
  for (const char* bad : {"a b", "1abc", "a=b", "a<b"}) {
    SCOPED_TRACE(bad);
    try {
      platform::com::ObjectPtr object = settings;
      platform::com::LetProperty(object, "Namespace", Variant(bad));
      ADD_FAILURE() << "accepted";
    } catch (const platform::BasicError& error) {
      EXPECT_EQ(error.number(), kErrUnstorableSetting);
      EXPECT_NE(error.description().find("cannot be a namespace"), std::string::npos) << error.description();
    }
    EXPECT_EQ(settings->Namespace(), "app.");
  }
  // The empty namespace is ".", as always; a name without a dot under it
  // could never be stored, so that write is refused while reading works.
  settings->SetNamespace("");
  EXPECT_EQ(settings->Namespace(), ".");
  EXPECT_THROW(settings->SetValue("x", "v"), platform::BasicError);
  EXPECT_EQ(platform::CStr(settings->GetValue("x")), "");
  // A load under it keeps dotless names as the file gave them, so the
  // collection stays storable ("uncorrupted" is in every file).
  settings->CreateSnapshotFromString(
      "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><uncorrupted VT=\"8\">Definitely</uncorrupted>"
      "</cSettings></VeltrisSettings>");
  EXPECT_TRUE(settings->Exists("uncorrupted"));
  EXPECT_NO_THROW(settings->WriteSnapshotToString());
}

}  // namespace
}  // namespace settings
