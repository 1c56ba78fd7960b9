// What the settings tests share: a fresh machine root per test, the system
// log's messages, and a recorder of a collection's events.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "platform/root/machine_root.h"
#include "settings/collection/c_settings.h"
#include "settings/files/bin_file.h"
#include "settings/folders/uninstall_pending.h"
#include "systemlog/system_log.h"
#include "testing/temp_root.h"

namespace settings_testing {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    contracts::Support().Reset();
    settings::SetUninstallPending(false);
    settings::SetBinFileStepHook({});
    settings::SetBrandChangeListener({});
    platform::Err::Clear();
  }
  void TearDown() override {
    settings::SetBinFileStepHook({});
    settings::SetBrandChangeListener({});
    settings::SetUninstallPending(false);
    contracts::Support().Reset();
  }

  // The messages of the system log, without their time stamps.
  static std::vector<std::string> LogMessages() {
    std::vector<std::string> messages;
    std::istringstream in(testing_support::ReadFileBytes(service::SystemLogPath()));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // "[yyMMdd HH:mm:ss] [tick] message"
      const size_t stamp = line.find("] [");
      const size_t tick = stamp == std::string::npos ? std::string::npos : line.find("] ", stamp + 3);
      messages.push_back(tick == std::string::npos ? line : line.substr(tick + 2));
    }
    return messages;
  }

  static std::vector<std::string> LogMessagesStarting(const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& message : LogMessages()) {
      if (message.rfind(prefix, 0) == 0) found.push_back(message);
    }
    return found;
  }

  static bool LogHas(const std::string& message) {
    for (const auto& logged : LogMessages()) {
      if (logged == message) return true;
    }
    return false;
  }

  testing_support::TempRoot root_;
};

// A snapshot text of one collection holding the given property elements.
inline std::string Snapshot(const std::string& properties) {
  return "<VeltrisSettings><cSettings name=\"Windows_v1.50\">" + properties + "</cSettings></VeltrisSettings>";
}

// Every event a collection raises, in order.
struct RecordedEvent {
  platform::com::DispId id;
  std::string name;
  std::vector<platform::Variant> args;
};

class EventRecorder {
 public:
  explicit EventRecorder(settings::cSettings& collection) {
    collection.events().Advise([this](const platform::com::EventCall& call, platform::com::Args args) {
      events.push_back(RecordedEvent{call.id, std::string(call.name), {args.begin(), args.end()}});
    });
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& event : events) names.push_back(event.name);
    return names;
  }
  std::vector<RecordedEvent> events;
};

}  // namespace settings_testing
