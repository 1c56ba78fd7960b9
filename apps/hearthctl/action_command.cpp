// The "action" command: runs an XML action message and prints the reply.
//
// A running hearthd gets the message through its client interface on the
// system bus (cIoNotify.DoXMLAction). While hearthd is not running on the
// root the message runs in this process instead, with the instance lock held
// so that hearthd cannot start half-way. Which one answered is said on stderr.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "bus/bus_names.h"
#include "bus_client.h"
#include "command.h"
#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "platform/root/machine_root.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/register_io_notify.h"
#include "plugins/ionotify/secure_logs.h"
#include "plugins/notify/shared_io_notify.h"
#include "service/host/control_protocol.h"
#include "service/host/lock/instance_lock.h"
#include "service_probe.h"
#include "settings/shared/shared_settings.h"

namespace hearthctl {
namespace {

// The guest profile: the user the service runs for when it finds no other.
constexpr char kGuestSid[] = "*";

// Stands in for the Application object of a service run: a settings change
// stores the collections that changed (no plug-ins are loaded here to tell).
class InProcessApplication : public platform::com::Object {
 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<InProcessApplication>({
        {"SettingsChanged", platform::com::ArgRange{0, 1}, [](InProcessApplication&) { StoreChanged(); }},
    });
    return &table;
  }

 public:
  static void StoreChanged() {
    if (auto system = settings::GetSystemSettings(); system && system->Dirty()) system->WriteSnapshotToStored("");
    if (auto user = settings::GetUserSettings(); user && user->Dirty()) user->WriteSnapshotToStored(kGuestSid);
  }
};

bool ReadMessage(const std::string& source, std::string* message, std::string* error) {
  if (source == "-") {
    *message = std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream file(source, std::ios::binary);
  if (!file) {
    *error = "cannot read " + source;
    return false;
  }
  *message = std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

std::string RunInProcess(std::string message) {
  plugins::ionotify::RegisterIoNotify();
  auto system = std::make_shared<settings::cSettings>();
  system->CreateSnapshotFromStored("");
  settings::SetSystemSettings(system);
  auto user = std::make_shared<settings::cSettings>();
  user->CreateSnapshotFromStored(kGuestSid);
  settings::SetUserSettings(user);
  service::SetApplicationObject(std::make_shared<InProcessApplication>());
  {
    auto io = platform::com::QueryInterface<plugins::ionotify::cIoNotify>(plugins::GetSharedIoNotify());
    if (io == nullptr) platform::RaiseError(platform::kErrCannotCreateObject, "no cIoNotify object");
    io->DoXMLAction(message);
  }
  plugins::ionotify::SyncSecureLogs();
  plugins::ReleaseSharedIoNotify();
  service::SetApplicationObject(nullptr);
  return message;
}

// Actions may run long (a dump of the alert store, a time sync): more than
// the bus's default 25 seconds.
constexpr uint64_t kActionTimeout = 10ull * 60 * 1000 * 1000;

// DoXMLAction of the service's cIoNotify over the system bus; nullopt with
// *error set when the service cannot be reached or refuses.
std::optional<std::string> RunOnService(const std::string& message, std::string* error) {
  if (message.find('\0') != std::string::npos) {
    *error = "the message holds a NUL byte, which the bus cannot carry";
    return std::nullopt;
  }
  BusClient client;
  if (!ConnectToRootService(client, error)) return std::nullopt;
  BusReply reply = client.Call(
      bus::kIoNotifyPath, bus::kIoNotifyInterface, "DoXMLAction",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "s", message.c_str()); }, error,
      kActionTimeout);
  if (!reply) return std::nullopt;
  std::optional<std::string> answer;
  const char* text = nullptr;
  if (sd_bus_message_read(reply.get(), "s", &text) >= 0 && text != nullptr) {
    answer = std::string(text);
  } else {
    *error = "the service's reply could not be read";
  }
  return answer;
}

int Action(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  std::string message, error;
  if (!ReadMessage(parsed.positional[0], &message, &error)) return Report(io, self, error, kExitFailure);

  const std::string root = platform::MachineRoot().string();
  // Only running the message here, on the root's files, needs the lock.
  service::InstanceLock lock;
  const std::optional<ServiceState> state = ProbeRootService(&lock, &error);
  if (!state) return Report(io, self, error, kExitFailure);
  if (*state == ServiceState::kRunning) {
    std::optional<std::string> reply = RunOnService(message, &error);
    if (!reply) {
      return Report(io, self,
                    "hearthd is running on " + root + " but did not take the message over the system bus: " + error,
                    kExitFailure);
    }
    io.err << "hearthctl action: answered by hearthd (over the system bus)\n";
    io.out << *reply << "\n";
    return kExitOk;
  }
  io.err << "hearthctl action: answered in this process (hearthd is not running on " << root << ")\n";
  io.out << RunInProcess(std::move(message)) << "\n";
  return kExitOk;
}

const GroupRegistration kGroup{"action", "run an XML action message"};

const CommandRegistration kAction{{
    .group = "action",
    .name = "",
    .arguments = "FILE|-",
    .summary = "run an XML action message (from FILE, or - for standard input) and print the reply",
    .details =
        "The message is a document whose element holds \"action\" elements, for example\n"
        "  <msg><action type=\"getsecurelog\" logname=\"REPORT\" markread=\"false\"/></msg>\n"
        "The reply is printed on standard output. A running hearthd gets the message over the system\n"
        "bus; while hearthd is not running the message runs in this process on the machine root\n"
        "(settings changes are stored, no plug-ins are told). stderr says which one answered.",
    .run = Action,
}};

}  // namespace
}  // namespace hearthctl
