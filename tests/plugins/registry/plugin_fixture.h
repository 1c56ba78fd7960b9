// What the plug-in registry tests share: a root whose branding lists the
// test's plug-ins, recording plug-ins of both kinds, and a journal of what
// the plug-ins heard.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "service/init/testing/init_test_support.h"

namespace plugin_testing {

using platform::Variant;
using platform::com::ObjectPtr;

// "<progid>:<what it heard>" in order, across every recording plug-in.
std::vector<std::string>& Journal();

// Runs in every recording plug-in's events (after the journal line); the
// test decides what the plug-in does there. `event` is what the journal
// records ("OnStartup", "OnSvcShutdown", "GetStatus.x" ...).
struct EventContext {
  std::string progid;
  std::string event;
  ObjectPtr* settings = nullptr;    // the events' Settings (events plug-ins)
  ObjectPtr* plugin_data = nullptr;
  ObjectPtr* io_notify = nullptr;  // OnStartup's IoNotifyObject
};
std::function<void(EventContext&)>& OnPluginEvent();

// Registers (once per process) an events plug-in class under `progid` that
// journals each event as "<progid>:<operation>".
void RegisterEventsPlugin(const std::string& progid);
// The same for a notifier plug-in, which journals each message name it
// receives, the start-up exchange included.
void RegisterNotifierPlugin(const std::string& progid);

// The shipped list entry for a plug-in: <plugin rank="R"><progid>P</progid></plugin>.
std::string Entry(const std::string& progid, const std::string& rank);

class PluginTest : public init_testing::InitTest {
 protected:
  PluginTest();
  ~PluginTest() override;
  // Writes the root's branding configuration with this "plugins/system"
  // content (the children of <system>); `present` false leaves the list out.
  void SetPluginList(const std::string& entries, bool present = true);
  // The system log's messages from the mark on.
  std::vector<std::string> MessagesSinceMark() const;
  void Mark();
  // Only the lines that say which plug-in was told what ("Sending OnStartup
  // to X"), the count, error and creation lines.
  std::vector<std::string> PluginLinesSinceMark() const;

 private:
  std::size_t mark_ = 0;
};

}  // namespace plugin_testing
