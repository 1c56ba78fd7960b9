#include "alerts/alert_statements.h"
#include "alerts_fixture.h"
#include "platform/basic/date_time.h"
#include "settings/shared/shared_settings.h"

namespace alerts::testing {
namespace {

using platform::Variant;
using platform::VarType;

class QueryTest : public AlertsTest {
 protected:
  // A local time whose UTC text is `utc` given the fixture's +180 bias.
  static double LocalFor(int year, int month, int day, int hour) {
    return platform::DateSerial(year, month, day) + platform::TimeSerial(hour, 0, 0) - 180.0 / 1440;
  }

  static std::vector<int32_t> Items(const Variant& list) {
    std::vector<int32_t> out;
    for (int32_t i = platform::LBound(list); i <= platform::UBound(list); ++i) out.push_back(list.Element(i).LongValue());
    return out;
  }
};

TEST_F(QueryTest, IndicesAreOrderedByTheTimeTextWithBoundsFromOne) {
  int32_t jan_2020 = Post("S", 1, "d", "E", false, LocalFor(2020, 1, 5, 12));
  int32_t dec_2019 = Post("S", 1, "d", "E", false, LocalFor(2019, 12, 5, 12));
  int32_t mar_2020 = Post("S", 1, "d", "E", false, LocalFor(2020, 3, 5, 12));
  Post("Other");
  Variant list;
  ASSERT_EQ(GetAlertIndicesAll("S", list), 3);
  EXPECT_EQ(list.vt(), platform::ArrayOf(VarType::kLong));
  EXPECT_EQ(platform::LBound(list), 1);
  EXPECT_EQ(platform::UBound(list), 3);
  // Month first: December of 2019 sorts above March and January of 2020.
  EXPECT_EQ(Items(list), (std::vector<int32_t>{dec_2019, mar_2020, jan_2020}));
}

TEST_F(QueryTest, IndexFiltersBySysProcUserProcAndEvent) {
  int32_t fresh = Post("S", 1, "d", "E1");
  int32_t seen_by_system = Post("S", 1, "d", "E1");
  int32_t acknowledged = Post("S", 1, "d", "E2");
  int32_t hidden = Post("S", 1, "d", "E2", /*hide=*/true);
  ASSERT_TRUE(SetAlertSysProc(seen_by_system));
  ASSERT_TRUE(SetAlertUserProc(acknowledged));
  Variant list;
  auto sorted = [&](const Variant& v) {
    std::vector<int32_t> items = Items(v);
    std::sort(items.begin(), items.end());
    return items;
  };
  ASSERT_EQ(GetAlertIndices("S", list, true, ""), 3);  // SysProc=0
  EXPECT_EQ(sorted(list), (std::vector<int32_t>{fresh, acknowledged, hidden}));
  ASSERT_EQ(GetAlertIndices("S", list, false, ""), 2);  // UserProc=0
  EXPECT_EQ(sorted(list), (std::vector<int32_t>{fresh, seen_by_system}));
  ASSERT_EQ(GetAlertIndices("S", list, true, "E2"), 2);
  EXPECT_EQ(sorted(list), (std::vector<int32_t>{acknowledged, hidden}));
}

TEST_F(QueryTest, StoresAreListedOnceEachInOrderAndAnEmptyTableLeavesTheArray) {
  Variant list = Variant::Array({Variant(std::string("kept"))}, 0, VarType::kString);
  Variant before = list;
  EXPECT_EQ(GetAlertStores(list), 0);
  EXPECT_TRUE(platform::Identical(list, before));

  Post("Wavelock");
  Post("Firewall");
  Post("Wavelock");
  Post("it's \"quoted\"");
  ASSERT_EQ(GetAlertStores(list), 3);
  EXPECT_EQ(list.vt(), platform::ArrayOf(VarType::kString));
  EXPECT_EQ(platform::LBound(list), 1);
  std::vector<std::string> names;
  for (int32_t i = 1; i <= platform::UBound(list); ++i) names.push_back(list.Element(i).StringValue());
  EXPECT_EQ(names, (std::vector<std::string>{"Firewall", "Wavelock", "it's \"quoted\""}));
}

TEST_F(QueryTest, NoRowsLeavesTheCallersArrayAsItWas) {
  Post("S");
  Variant list = Variant::Array({Variant(int32_t{7}), Variant(int32_t{8})}, 0, VarType::kLong);
  Variant before = list;
  EXPECT_EQ(GetAlertIndicesAll("Nobody", list), 0);
  EXPECT_TRUE(platform::Identical(list, before));
  EXPECT_EQ(GetAlertIndices("S", list, false, "NoSuchEvent"), 0);
  EXPECT_TRUE(platform::Identical(list, before));
}

struct GateCase {
  const char* store;
  bool require_password;
  bool priv_ack;
  int32_t expected;
};

TEST_F(QueryTest, WavelockGateFollowsTheUsersSettings) {
  Post("Wavelock");
  Post("wavelock");
  const GateCase cases[] = {
      {"Wavelock", true, false, 0}, {"Wavelock", true, true, 1},  {"Wavelock", false, false, 1},
      {"wavelock", true, false, 1}, {"Wavelock", false, true, 1},
  };
  for (const GateCase& c : cases) {
    SetUserSettingReader([&](std::string_view name) {
      if (name == "sys.ui.RequireConfigurationPassword") return c.require_password;
      if (name == "legacy.PrivAckAlerts") return c.priv_ack;
      ADD_FAILURE() << "unexpected setting " << name;
      return false;
    });
    Variant list;
    EXPECT_EQ(GetAlertIndices(c.store, list, false, ""), c.expected)
        << c.store << " " << c.require_password << " " << c.priv_ack;
    // The gate is GetAlertIndices' alone.
    EXPECT_EQ(GetAlertIndicesAll("Wavelock", list), 1);
  }
  // Settings that cannot be read keep the store closed.
  SetUserSettingReader([](std::string_view) -> bool { throw std::runtime_error("settings unavailable"); });
  EXPECT_TRUE(StoreGateClosed("Wavelock"));
}

TEST_F(QueryTest, WavelockGateReadsTheCurrentUsersCollection) {
  Post("Wavelock");
  Variant list;
  // No current user on this thread: the private store stays closed.
  settings::SetUserSettings(nullptr);
  EXPECT_EQ(GetAlertIndices("Wavelock", list, false, ""), 0);
  auto user = std::make_shared<settings::cSettings>();
  user->SetValue("sys.ui.RequireConfigurationPassword", Variant(true));
  user->SetValue("legacy.PrivAckAlerts", Variant(false));
  settings::SetUserSettings(user);
  EXPECT_EQ(GetAlertIndices("Wavelock", list, false, ""), 0);
  user->SetValue("legacy.PrivAckAlerts", Variant(true));
  EXPECT_EQ(GetAlertIndices("Wavelock", list, false, ""), 1);
  settings::SetUserSettings(nullptr);
}

TEST_F(QueryTest, ExistenceTests) {
  EXPECT_FALSE(AnyAlerts("S"));
  EXPECT_FALSE(NewAlert("S"));
  EXPECT_FALSE(BrandNewAlerts("S"));
  int32_t index = Post("S");
  EXPECT_TRUE(AnyAlerts("S"));
  EXPECT_TRUE(NewAlert("S"));
  EXPECT_TRUE(BrandNewAlerts("S"));
  ASSERT_TRUE(SetAlertSysProc(index));
  EXPECT_TRUE(NewAlert("S"));
  EXPECT_FALSE(BrandNewAlerts("S"));
  ASSERT_TRUE(SetAlertUserProc(index));
  EXPECT_FALSE(NewAlert("S"));
  EXPECT_TRUE(AnyAlerts("S"));
  EXPECT_FALSE(AnyAlerts("s"));
}

TEST_F(QueryTest, SingleStatements) {
  int32_t a = Post("S");
  int32_t b = Post("S");
  int32_t c = Post("T");
  EXPECT_TRUE(SetAlertDeleted(a));
  EXPECT_TRUE(SetAlertDeleted(c));
  EXPECT_TRUE(RemoveDeletedAlerts(Variant("S")));
  EXPECT_EQ(Field(a, kColStore), "(missing)");
  EXPECT_EQ(Field(b, kColStore), "S");
  EXPECT_EQ(Field(c, kColTag), "(DELETED)");
  EXPECT_FALSE(RemoveDeletedAlerts(Variant::Null()));
  EXPECT_EQ(Field(c, kColTag), "(DELETED)");
  EXPECT_TRUE(DeleteAlert(b));
  EXPECT_EQ(Field(b, kColStore), "(missing)");
  // A statement that matches nothing still ran.
  EXPECT_TRUE(DeleteAlert(12345));
  EXPECT_TRUE(SetAlertSysProc(12345));
}

TEST_F(QueryTest, GetAlertReturnsEveryFieldAndKeepsOutsOnFailure) {
  int32_t index = 0;
  double when = platform::DateSerial(2019, 12, 31) + platform::TimeSerial(10, 45, 0);
  ASSERT_TRUE(PostAlert("S", 250, "sum", "desc", "ID9", "act", true, index, false, when, "tg"));
  ASSERT_TRUE(SetAlertSysProc(index));
  uint8_t severity = 0;
  std::string summary, description, alert_id, action_ids, tag;
  bool user_proc = false, sys_proc = false;
  Variant event_date_time;
  ASSERT_TRUE(GetAlert(index, severity, summary, description, alert_id, action_ids, user_proc, event_date_time,
                       sys_proc, tag));
  EXPECT_EQ(severity, 250);
  EXPECT_EQ(summary, "sum");
  EXPECT_EQ(description, "desc");
  EXPECT_EQ(alert_id, "ID9");
  EXPECT_EQ(action_ids, "act");
  EXPECT_TRUE(user_proc);
  EXPECT_TRUE(sys_proc);
  EXPECT_EQ(event_date_time.vt(), VarType::kString);
  EXPECT_EQ(event_date_time.StringValue(), "12/31/2019 13:45:00");
  EXPECT_EQ(tag, "tg");

  std::string untouched = "keep";
  EXPECT_FALSE(GetAlert(999, severity, untouched, untouched, untouched, untouched, user_proc, event_date_time,
                        sys_proc, untouched));
  EXPECT_EQ(untouched, "keep");
  EXPECT_EQ(severity, 250);
}

struct OrderCase {
  const char* locale_pattern;
  const char* pattern;
  const char* order;
  const char* separator;
  const char* event_date_time;  // of the stored "12/31/2019 13:45:00"
};

TEST_F(QueryTest, DateOrderFollowsTheLocalesShortDatePattern) {
  int32_t index = 0;
  double when = platform::DateSerial(2019, 12, 31) + platform::TimeSerial(10, 45, 0);
  ASSERT_TRUE(PostAlert("S", 1, "s", "d", "id", "", false, index, false, when, ""));
  const OrderCase cases[] = {
      {nullptr, "MM/DD/YYYY", "MMDDYY", "/", "12/31/2019 13:45:00"},
      {"MM/dd/yy", "MM/DD/YY", "MMDDYY", "/", "12/31/2019 13:45:00"},
      {"dd.MM.yyyy", "DD.MM.YYYY", "DDMMYY", ".", "31/12/2019 13:45:00"},
      {"d/M/yy", "DD/MM/YY", "DDMMYY", "/", "31/12/2019 13:45:00"},
      {"yyyy-MM-dd", "YYYY-MM-DD", "YYMMDD", "-", "2019/12/31 13:45:00"},
      {"yyyyMMdd", "YYYYMMDD", "YYMMDD", "", "2019/12/31 13:45:00"},
  };
  for (const OrderCase& c : cases) {
    testing_support::WriteFileBytes(root_ / "machine.conf",
                                    c.locale_pattern ? std::string("ShortDatePattern = ") + c.locale_pattern + "\n"
                                                     : std::string("# no pattern\n"));
    std::string order = "?", separator = "?";
    EXPECT_EQ(GetDateOrder(order, separator), c.pattern) << c.pattern;
    EXPECT_EQ(order, c.order) << c.pattern;
    EXPECT_EQ(separator, c.separator) << c.pattern;

    uint8_t severity = 0;
    std::string text;
    bool flag = false;
    Variant event_date_time;
    ASSERT_TRUE(GetAlert(index, severity, text, text, text, text, flag, event_date_time, flag, text));
    EXPECT_EQ(event_date_time.StringValue(), c.event_date_time) << c.pattern;
  }
}

}  // namespace
}  // namespace alerts::testing
