// "hearthctl monitor": every signal of the running service, one line each,
// as it arrives, until interrupted.
#include <signal.h>
#include <sys/signalfd.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "bus/bus_names.h"
#include "bus/variant_codec.h"
#include "bus_client.h"
#include "command.h"
#include "platform/basic/variant.h"

namespace hearthctl {
namespace {

// One argument as text: texts quoted, everything else as the Variant it is.
std::string ArgumentText(sd_bus_message* message, const std::string& type) {
  platform::Variant value = bus::ReadTyped(message, type, nullptr);
  if (type == "o") {
    return "/";
  }
  return platform::DebugString(value);
}

std::string SignalLine(sd_bus_message* message) {
  std::string line = std::string(sd_bus_message_get_path(message)) + " " +
                     sd_bus_message_get_interface(message) + "." + sd_bus_message_get_member(message);
  const char* signature = sd_bus_message_get_signature(message, 1);
  try {
    for (const std::string& type : bus::SplitSignature(signature ? signature : "")) {
      line += " " + ArgumentText(message, type);
    }
  } catch (const std::exception& error) {
    line += " (unreadable: " + std::string(error.what()) + ")";
  }
  return line;
}

int Monitor(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  BusClient client;
  std::string error;
  if (!client.Connect(&error)) return Report(io, self, error, kExitFailure);
  const std::string rule = std::string("type='signal',sender='") + bus::kBusName + "'";
  int r = sd_bus_add_match(client.bus(), nullptr, rule.c_str(), nullptr, nullptr);
  if (r < 0) return Report(io, self, std::string("cannot listen on the bus: ") + std::strerror(-r), kExitFailure);
  if (!client.ServiceRunning()) io.err << "hearthctl monitor: waiting for hearthd on the bus\n";

  // Ctrl-C and SIGTERM end the watch through a descriptor the loop polls.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
  const int stop_fd = signalfd(-1, &stops, SFD_CLOEXEC);
  for (;;) {
    sd_bus_message* message = nullptr;
    r = sd_bus_process(client.bus(), &message);
    if (r < 0) {
      sd_bus_message_unref(message);
      ::close(stop_fd);
      return Report(io, self, "lost the bus: " + std::string(std::strerror(-r)), kExitFailure);
    }
    if (message != nullptr) {
      if (sd_bus_message_is_signal(message, nullptr, nullptr) > 0 && sd_bus_message_get_path(message) &&
          std::string(sd_bus_message_get_path(message)).rfind("/com/norvale/Hearth/", 0) == 0) {
        io.out << SignalLine(message) << std::endl;
      }
      sd_bus_message_unref(message);
    }
    if (r > 0) continue;
    pollfd fds[2] = {{sd_bus_get_fd(client.bus()), static_cast<short>(sd_bus_get_events(client.bus())), 0},
                     {stop_fd, POLLIN, 0}};
    ::poll(fds, 2, -1);
    if (fds[1].revents & POLLIN) break;
  }
  ::close(stop_fd);
  return kExitOk;
}

const GroupRegistration kGroup{"monitor", "print the running service's signals as they arrive"};

const CommandRegistration kMonitor{{
    .group = "monitor",
    .name = "",
    .arguments = "",
    .summary = "print every signal of the running service as it arrives, one line each, until interrupted",
    .details = "Each line is the object path, the interface and signal name, then the arguments:\n"
               "  /com/norvale/Hearth/Settings/System com.norvale.Hearth.cSettings.SettingChanged String(\"sys.a\") Long(5)\n"
               "Ctrl-C ends it. Exits 1 when the bus is not there.",
    .run = Monitor,
}};

}  // namespace
}  // namespace hearthctl
