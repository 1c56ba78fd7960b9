// The fixture of the cIoNotify tests: a fresh machine root with the product
// key at TraceLevel 4, system and user collections on a fresh thread, a
// recording Application object, and effects that record instead of acting.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/ionotify/action_effects.h"
#include "plugins/ionotify/io_notify.h"
#include "service/init/testing/init_test_support.h"

namespace plugins::ionotify::testing {

// Stands in for the Application object: records SettingsChanged calls.
class FakeApplication : public platform::com::Object {
 public:
  std::vector<bool> settings_changed;

 protected:
  const platform::com::DispatchTable* Dispatch() const override;
};

// A launcher that records the command lines; `fail` makes it raise.
class RecordingLauncher : public contracts::Launcher {
 public:
  void Launch(const std::string& command_line) override;
  bool LaunchShell(const std::string& command_line) override;
  std::vector<std::string> launched;
  std::vector<std::string> shell_lines;
  bool fail = false;
};

// A plug-in host that records DoNotify calls and answers GetScheduleEvent.
class FakePluginHost : public platform::com::Object {
 public:
  struct Call {
    std::string name;
    platform::Variant param1;
    platform::Variant param2;
  };
  std::vector<Call> calls;
  std::string answer;

 protected:
  const platform::com::DispatchTable* Dispatch() const override;
};

class IoNotifyTest : public init_testing::InitTest {
 protected:
  IoNotifyTest();
  ~IoNotifyTest() override;

  // Runs `body` on a fresh thread with the collections installed, the fake
  // Application set and a shared cIoNotify made by the registered factory.
  void Run(const std::function<void(cIoNotify& io)>& body, int trace_level = 4);
  // DoXMLAction on `message`; the reply.
  static std::string Act(cIoNotify& io, std::string message);
  // The system log messages written since the last Run started.
  std::vector<std::string> Logged() const { return logged_; }
  bool LoggedLine(const std::string& line) const;
  int CountLogged(const std::string& line) const;

  std::shared_ptr<FakeApplication> application_ = std::make_shared<FakeApplication>();
  std::shared_ptr<RecordingLauncher> launcher_ = std::make_shared<RecordingLauncher>();
  // What the effects were asked to do, in order ("shell:cmd", "synctime", ...).
  std::vector<std::string> effects_;

 private:
  std::vector<std::string> logged_;
  contracts::ScopedSupportOverride<contracts::Launcher> use_launcher_{
      contracts::SupportFactory<contracts::Launcher>([this] { return launcher_; })};
  std::unique_ptr<ScopedActionEffects> effects_scope_;
};

}  // namespace plugins::ionotify::testing
