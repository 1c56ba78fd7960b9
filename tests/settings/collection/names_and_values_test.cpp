// Names, namespaces, reading with defaults and conversions.
#include <gtest/gtest.h>

#include <memory>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"

namespace settings {
namespace {

using platform::Variant;
using platform::VarType;

class NamesTest : public settings_testing::SettingsTest {
 protected:
  std::shared_ptr<cSettings> settings_ = std::make_shared<cSettings>();
};

TEST_F(NamesTest, NamesAreStoredLowerCaseAndExistsAsksForTheNameAsGiven) {
  settings_->SetValue("Sys.Foo", 1);
  EXPECT_TRUE(platform::Identical(settings_->GetValue("sys.foo"), Variant(1)));
  EXPECT_TRUE(platform::Identical(settings_->GetValue("SYS.FOO"), Variant(1)));
  EXPECT_TRUE(settings_->Exists("sys.foo"));
  EXPECT_FALSE(settings_->Exists("Sys.Foo"));
  EXPECT_FALSE(settings_->Exists("foo"));
}

TEST_F(NamesTest, NamespaceGoesBeforeNamesWithoutADot) {
  struct Case {
    const char* namespace_text;
    const char* stored_namespace;
    const char* name;
    const char* key;
  };
  const Case cases[] = {
      {"App", "app.", "x", "app.x"},     {"app.", "app.", "X", "app.x"},  {"app", "app.", "sys.y", "sys.y"},
      {"a.b", "a.b.", "z", "a.b.z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.namespace_text);
    auto settings = std::make_shared<cSettings>();
    settings->SetNamespace(c.namespace_text);
    EXPECT_EQ(settings->Namespace(), c.stored_namespace);
    settings->SetValue(c.name, "v");
    EXPECT_TRUE(settings->Exists(c.key));
    EXPECT_EQ(settings->EnumSettingNames("*"), c.key);
  }
}

TEST_F(NamesTest, MissingNamesReadAsEmptyTextFalseAndZero) {
  const Variant value = settings_->GetValue("sys.missing");
  EXPECT_EQ(value.vt(), VarType::kString);
  EXPECT_EQ(value.StringValue(), "");
  EXPECT_FALSE(settings_->GetValueB("sys.missing"));
  EXPECT_EQ(settings_->GetValueL("sys.missing"), 0);
}

TEST_F(NamesTest, GetValueBConvertsLikeBasic) {
  struct Case {
    Variant value;
    bool expected;
  };
  const Case cases[] = {
      {Variant("True"), true},  {Variant("tRUE"), true},    {Variant("false"), false}, {Variant(true), true},
      {Variant(false), false},  {Variant(1), true},         {Variant(0), false},       {Variant("5"), true},
      {Variant("0"), false},    {Variant(""), false},       {Variant(), false},        {Variant(-1), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::DebugString(c.value));
    settings_->SetValue("sys.b", c.value);
    EXPECT_EQ(settings_->GetValueB("sys.b"), c.expected);
  }
}

TEST_F(NamesTest, ValuesThatDoNotConvertFailTheCallAndChangeNothing) {
  settings_->SetValue("sys.word", "yes");
  settings_->SetValue("sys.null", Variant::Null());
  const auto number_of = [](const auto& call) {
    try {
      call();
    } catch (const platform::BasicError& error) {
      return error.number();
    }
    return 0;
  };
  EXPECT_EQ(number_of([&] { settings_->GetValueB("sys.word"); }), platform::kErrTypeMismatch);
  EXPECT_EQ(number_of([&] { settings_->GetValueL("sys.word"); }), platform::kErrTypeMismatch);
  EXPECT_EQ(number_of([&] { settings_->GetValueB("sys.null"); }), platform::kErrInvalidUseOfNull);
  EXPECT_EQ(settings_->GetValue("sys.word").StringValue(), "yes");
  EXPECT_EQ(settings_->Count(), 2u);
}

TEST_F(NamesTest, GetValueLReadsNumbersAndNumericText) {
  settings_->SetValue("sys.n", "42");
  EXPECT_EQ(settings_->GetValueL("sys.n"), 42);
  settings_->SetValue("sys.n", 2.5);
  EXPECT_EQ(settings_->GetValueL("sys.n"), 2);  // rounds half to even
  settings_->SetValue("sys.n", true);
  EXPECT_EQ(settings_->GetValueL("sys.n"), -1);
}

TEST_F(NamesTest, UseFileIsKeptAndReturned) {
  EXPECT_FALSE(settings_->UseFile());
  settings_->SetUseFile(true);
  EXPECT_TRUE(settings_->UseFile());
}

TEST_F(NamesTest, LateBoundCallersReachTheOperationsByName) {
  platform::com::ObjectPtr object = settings_;
  platform::com::CallByName(object, "SetValue", {Variant("User.Name"), Variant("Ann")});
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "GetValue", {Variant("user.name")})), "Ann");
  EXPECT_TRUE(platform::com::CallByName(object, "Exists", {Variant("user.name")}).BoolValue());
  EXPECT_TRUE(platform::com::CallByName(object, "Dirty").BoolValue());
  platform::com::LetProperty(object, "Namespace", Variant("ns"));
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "Namespace")), "ns.");
  EXPECT_EQ(platform::TypeName(Variant(object)), "cSettings");
  // A conversion failure reaches the late-bound caller as a failed call.
  EXPECT_THROW(platform::com::CallByName(object, "GetValueB", {Variant("user.name")}), platform::BasicError);
}

}  // namespace
}  // namespace settings
