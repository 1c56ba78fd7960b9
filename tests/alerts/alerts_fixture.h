// A fresh machine root for each alert store test, a fixed time zone, the
// system log's messages, and direct access to the database file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "alerts/alert_state.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"
#include "support/imdb/imdb.h"
#include "testing/log_messages.h"
#include "testing/temp_root.h"
#include "testing/time_zone.h"

namespace alerts::testing {

class AlertsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    State() = AlertState{};
    SetUserSettingReader(nullptr);
  }

  void TearDown() override {
    CloseGDB();
    State() = AlertState{};
    SetUserSettingReader(nullptr);
  }

  // The messages of the system log so far (the text after the stamp).
  static std::vector<std::string> LogMessages() {
    return testing_support::LogFileMessages(service::SystemLogPath());
  }

  static bool Logged(const std::string& message) {
    for (const std::string& line : LogMessages()) {
      if (line == message) return true;
    }
    return false;
  }

  static void ClearLog() { std::filesystem::remove(service::SystemLogPath()); }

  // A connection of the test's own on the store's file.
  static std::unique_ptr<support::Imdb> Direct() {
    auto db = std::make_unique<support::Imdb>();
    db->Open(AlertDatabasePath());
    return db;
  }

  // Posts with defaults for what a test does not care about.
  static int32_t Post(const std::string& store, uint8_t severity = 10, const std::string& description = "desc",
                      const std::string& alert_id = "EV1", bool hide = false, double event_time = kNoEventTime,
                      const std::string& tag = "") {
    int32_t index = 0;
    EXPECT_TRUE(PostAlert(store, severity, "summary", description, alert_id, "A1", hide, index, false, event_time,
                          tag));
    return index;
  }

  // One field of one alert, read directly.
  static std::string Field(int32_t index, int column) {
    auto db = Direct();
    db->Execute("SELECT * FROM Alerts WHERE AlertIndex=?", {platform::Variant(index)});
    if (!db->MoveFirst()) return "(missing)";
    return db->GetFieldText(column);
  }

  testing_support::TempRoot root_;

 private:
  // Three hours west of UTC, no daylight time: the bias is +180 minutes.
  testing_support::ScopedTimeZone time_zone_{"<-03>3"};
};

}  // namespace alerts::testing
