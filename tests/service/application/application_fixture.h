// An Application object on a fresh machine root, with the thread's system
// and user collections installed as start-up installs them, the events it
// raises recorded, and helpers for the stored settings files. Each case
// leaves the thread as it found it (cases share one thread when they run in
// one process): the plug-in collection and the lifecycle flags a start and
// stop change are put back.
#pragma once

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/com/event_source.h"
#include "plugins/notify/feature_plugins_state.h"
#include "service/application/application.h"
#include "service/features/feature_fixture.h"
#include "settings/collection/c_settings.h"
#include "settings/files/settings_file_base.h"
#include "settings/shared/shared_settings.h"

namespace service::testing {

class ApplicationTest : public ServiceRootTest {
 protected:
  void SetUp() override {
    ServiceRootTest::SetUp();
    saved_plugins_ = plugins::ThreadFeaturePlugins();
    saved_shutdown_done_ = ShutdownDone();
    saved_closing_windows_ = ClosingWindows();
    settings::SetSystemSettings(system_);
    settings::SetUserSettings(user_);
    SetApplicationObject(app_);
    platform::com::ConnectEvents(app_, [this](const platform::com::EventCall& event, platform::com::Args) {
      events_.push_back(std::to_string(event.id) + " " + std::string(event.name));
    });
  }
  void TearDown() override {
    SetApplicationObject(nullptr);
    settings::SetUserSettings(nullptr);
    settings::SetSystemSettings(nullptr);
    plugins::ThreadFeaturePlugins() = saved_plugins_;
    SetShutdownDone(saved_shutdown_done_);
    SetClosingWindows(saved_closing_windows_);
    ServiceRootTest::TearDown();
  }

  // Startup with a user "S-1" (named "ann") and then both collections
  // clean, as after a load.
  void StartWithUser(const std::string& sid = "S-1") {
    system_->SetValue("legacy.Signature", platform::Variant("SPv1"));
    system_->SetValue("features.allowed", platform::Variant("AF"));
    user_->SetValue("user.sid", platform::Variant(sid));
    user_->SetValue("user.ID", platform::Variant("ann"));
    app_->Startup(system_, user_);
    MakeClean(*system_);
    MakeClean(*user_);
    events_.clear();
    ClearLog();
  }

  static void MakeClean(settings::cSettings& collection) {
    collection.CreateSnapshotFromString(collection.WriteSnapshotToString());
  }

  static std::string Text(settings::cSettings& collection, const std::string& name) {
    return platform::CStr(collection.GetValue(name));
  }

  // The stored settings file of an owner ("" the system collection).
  static std::string LiveFile(const std::string& owner) {
    return settings::SettingsFilePathsFor(settings::SettingsFileBase(owner)).live;
  }
  static bool Stored(const std::string& owner) { return std::filesystem::exists(LiveFile(owner)); }
  // What the owner's file holds, loaded into a new collection.
  static std::shared_ptr<settings::cSettings> ReadStored(const std::string& owner) {
    auto stored = std::make_shared<settings::cSettings>();
    stored->CreateSnapshotFromStored(owner);
    return stored;
  }
  // Stores a profile the way SyncUsers makes one.
  static void StoreProfile(const std::string& sid, const std::string& signature,
                           const std::string& extra_name = "", const std::string& extra_value = "") {
    settings::cSettings profile;
    profile.SetValue("user.sid", platform::Variant(sid));
    profile.SetValue("user.id", platform::Variant("id-" + sid));
    profile.SetValue("legacy.Signature", platform::Variant(signature));
    if (!extra_name.empty()) profile.SetValue(extra_name, platform::Variant(extra_value));
    profile.WriteSnapshotToStored(sid);
  }

  // How many notifications reached the (empty) plug-in registry.
  size_t Notifications() const { return LogMessagesStartingWith("No plugins to notify").size(); }

  // The dated lines (local date and time, then ": ..."), without the date.
  std::vector<std::string> DatedLines() const {
    static const std::regex dated(R"(^\d{1,2}/\d{1,2}/\d{4}(?: \d{1,2}:\d{2}:\d{2} [AP]M)?(: .*)$)");
    std::vector<std::string> found;
    for (const std::string& message : LogMessages()) {
      std::smatch match;
      if (std::regex_match(message, match, dated)) found.push_back(match[1]);
    }
    return found;
  }

  std::shared_ptr<settings::cSettings> system_ = std::make_shared<settings::cSettings>();
  std::shared_ptr<settings::cSettings> user_ = std::make_shared<settings::cSettings>();
  std::shared_ptr<Application> app_ = std::make_shared<Application>();
  std::vector<std::string> events_;

 private:
  plugins::FeaturePluginsState saved_plugins_;
  bool saved_shutdown_done_ = false;
  bool saved_closing_windows_ = false;
};

}  // namespace service::testing
