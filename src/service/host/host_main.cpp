#include "service/host/host_main.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <utility>
#include <vector>

#include "bus/bus_service.h"
#include "contracts/support_objects.h"
#include "platform/root/machine_root.h"
#include "service/configuration/service_configuration.h"
#include "service/host/control_protocol.h"
#include "service/host/control_server.h"
#include "service/host/lock/instance_lock.h"
#include "service/host/machine_hive.h"
#include "service/host/service_toolkit.h"
#include "service/host/systemd_reports.h"
#include "service/host/systemd_unit.h"
#include "service/host/toolkit_type_library.h"
#include "service/install/register_type_lib_file.h"
#include "support/environment/environment_object.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// How long answers still being sent may take at exit.
constexpr std::chrono::seconds kReplyGrace{2};

void PrintHelp(std::ostream& out) {
  out << "usage: hearthd [--root DIR]\n"
         "       hearthd [--root DIR] --print-unit [--exec PATH]\n"
         "\n"
         "Runs the hearth system service in the foreground until it is stopped.\n"
         "\n"
         "Options:\n"
         "  --root DIR     the machine root (default: $HEARTH_ROOT, else /var/lib/hearth);\n"
         "                 created when missing\n"
         "  --print-unit   write the systemd unit of the service to standard output and\n"
         "                 exit; its answers come from the service's configuration (a stop\n"
         "                 is accepted only while TraceLevel is \"4\" in the root's hive).\n"
         "                 A --root given here goes into the unit's ExecStart\n"
         "  --exec PATH    the program the printed unit starts (default: this hearthd)\n"
         "  --help         this text\n"
         "\n"
         "SIGTERM and SIGINT (Ctrl-C) stop the service, SIGPWR shuts it down as at a\n"
         "system shutdown (so does SIGTERM while systemd takes the system down);\n"
         "hearthctl service stop|shutdown|control N sends the same requests through\n"
         "DIR/run/hearthd.sock. Only one hearthd runs on a root. Started by systemd\n"
         "(Type=notify), it reports READY=1 once started and its name taken on the\n"
         "system bus (or the bus found missing), and STOPPING=1 at a stop.\n"
         "\n"
         "Exit status: 0 after the service stopped, 1 when it could not start,\n"
         "2 bad usage.\n";
}

int Usage(const std::string& message) {
  std::cerr << "hearthd: " << message << "\nusage: hearthd [--root DIR]; hearthd --help tells more\n";
  return kExitUsage;
}

int Fail(const std::string& message) {
  std::cerr << "hearthd: " << message << "\n";
  return kExitFailure;
}

bool MakeFolder(const std::filesystem::path& folder, const char* what, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (!code && std::filesystem::is_directory(folder, code)) return true;
  *error = std::string("cannot create ") + what + " " + folder.string() + ": " +
           (code ? code.message() : std::string("a file of that name is in the way"));
  return false;
}

// The run folder takes the machine root's group (hearth, as the package
// makes /var/lib/hearth) and mode 0750: the group's members may then see
// whether hearthd runs (the lock's holder) while the control socket in it
// stays root's (mode 0600). A failure only costs them that view.
void ShareWithRootGroup(const std::filesystem::path& root, const std::filesystem::path& run) {
  struct stat root_info {};
  if (::stat(root.c_str(), &root_info) != 0) return;
  if (::chown(run.c_str(), static_cast<uid_t>(-1), root_info.st_gid) != 0) return;
  ::chmod(run.c_str(), 0750);
}

std::string ThisProgram() {
  std::error_code code;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
  return code ? std::string("/usr/sbin/hearthd") : self.string();
}

std::string LimitText(std::chrono::milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " seconds";
  return std::to_string(limit.count()) + " ms";
}

std::chrono::milliseconds StopLimit(const HostHooks& hooks) {
  if (hooks.stop_limit.count() > 0) return hooks.stop_limit;
  ServiceConfiguration configuration;
  ServiceTimes times;
  configuration.DefaultTimes(times.start_wait, times.stop_wait, times.pause_wait, times.continue_wait);
  return std::chrono::milliseconds(HostStopLimit(times));
}

// The host could not take requests: stop the service, but never wait on a
// stop that hangs for longer than the grace.
int StopAfterFailedStart(ServiceToolkit& toolkit, ControlServer& server, const HostHooks& hooks,
                         const std::string& error) {
  toolkit.Deliver({control::RequestKind::kStop, 0}, hooks.stop_grace);
  const bool ended = toolkit.WaitForEndFor(hooks.stop_grace);
  const bool replies_sent = server.Stop(kReplyGrace);
  if (!ended || !replies_sent) {
    std::cerr << "hearthd: " << error << "\nhearthd: the service did not finish its stop; leaving without it\n";
    std::cerr.flush();
    ::_exit(kExitFailure);
  }
  return Fail(error);
}

}  // namespace

int HearthdMain(const std::vector<std::string>& args, const HostHooks& hooks) {
  // First of all: a stop that arrives while the host is still getting ready
  // waits, blocked, and is handled once the service is ready.
  BlockServiceSignals();
  if (hooks.at) hooks.at(HostPoint::kSignalsBlocked);

  bool print_unit = false;
  std::string exec_path;
  std::string unit_root;
  for (size_t at = 0; at < args.size(); ++at) {
    const std::string& option = args[at];
    if (option == "--help" || option == "-h") {
      PrintHelp(std::cout);
      return kExitOk;
    }
    if (option == "--print-unit") {
      print_unit = true;
      continue;
    }
    if (option == "--root" || option.rfind("--root=", 0) == 0 || option == "--exec" ||
        option.rfind("--exec=", 0) == 0) {
      const bool root = option.rfind("--root", 0) == 0;
      const size_t name_length = 6;
      std::string value =
          option.size() == name_length ? (at + 1 < args.size() ? args[++at] : "") : option.substr(name_length + 1);
      if (value.empty()) return Usage(option.substr(0, name_length) + (root ? " needs a folder" : " needs a program"));
      if (root) {
        platform::SetMachineRoot(value);
        unit_root = std::filesystem::absolute(value).lexically_normal().string();
      } else {
        exec_path = value;
      }
      continue;
    }
    return Usage("unknown argument " + option);
  }
  if (!exec_path.empty() && !print_unit) return Usage("--exec goes with --print-unit");

  const std::filesystem::path root = platform::MachineRoot();
  std::string error;
  if (print_unit) {
    ServiceConfiguration configuration;
    UnitOptions options;
    options.exec_path = exec_path.empty() ? ThisProgram() : exec_path;
    options.root = unit_root;
    std::cout << SystemdUnit(configuration, options);
    std::cout.flush();
    return std::cout ? kExitOk : Fail("cannot write the unit");
  }

  if (!MakeFolder(root, "the machine root", &error)) return Fail(error);
  if (!MakeFolder(control::RunFolder(), "the run folder", &error)) return Fail(error);
  ShareWithRootGroup(root, control::RunFolder());

  InstanceLock lock;
  switch (lock.Acquire(control::LockPath().string(), &error)) {
    case InstanceLock::Result::kAcquired: break;
    case InstanceLock::Result::kHeldElsewhere: return Fail("another hearthd is already running on " + root.string());
    case InstanceLock::Result::kFailed: return Fail(error);
  }

  // What the toolkit's installer leaves on a machine: its type library and
  // the service's keys. A failure here only costs the chore that needs it.
  if (!PlaceToolkitTypeLibrary(ToolkitTypeLibraryPath(), &error)) std::cerr << "hearthd: " << error << "\n";
  if (!PrepareMachineHive(&error)) std::cerr << "hearthd: " << error << "\n";

  support::SetEnvironmentFlagOverride(true);
  contracts::SetSupportDiagnosticSink([](const std::string& line) { WriteSystemLog(line); });

  auto toolkit = std::make_unique<ServiceToolkit>(hooks.make_service ? hooks.make_service()
                                                                     : std::make_shared<Service>());
  toolkit->SetReports(std::make_shared<SystemdReports>());
  // Ready once clients can reach the service: its name on the bus is taken
  // (or there is no bus to take it on).
  toolkit->LeaveReadyToHost();
  // From the moment a stop begins, bus calls are refused rather than run
  // after the stop has stored the settings.
  auto closing = std::make_shared<std::atomic<bool>>(false);
  toolkit->SetStopBeginsHook([closing](bool stopping) { closing->store(stopping); });
  auto server = std::make_unique<ControlServer>(*toolkit);
  if (!server->Listen(control::SocketPath().string(), &error)) return Fail(error);
  toolkit->Start();
  const bool serving = hooks.start_server ? hooks.start_server(*server, &error) : server->Start(true, &error);
  // Without its requests the service could never be stopped: stop it now.
  if (!serving) return StopAfterFailedStart(*toolkit, *server, hooks, error);
  if (hooks.at) hooks.at(HostPoint::kReady);
  ServiceToolkit* started = toolkit.get();
  bus::BusOptions bus_options;
  bus_options.closing = closing;
  bus_options.first_try_over = [started] { started->ReportReady(); };
  auto bus = bus::BusService::Start(toolkit->ServiceApartment(), [&toolkit] { return toolkit->RegisteredObject(); },
                                    std::move(bus_options));
  std::cerr << "hearthd: running on " << root.string() << " (process " << ::getpid()
            << "); SIGTERM or Ctrl-C stops it\n";

  const std::chrono::milliseconds stop_limit = StopLimit(hooks);
  const bool ended = toolkit->WaitForEnd(hooks.stop_grace, stop_limit);
  if (!ended && !toolkit->StopServiceRequested()) {
    // The stop hangs on the service thread (the system log names a plug-in
    // call that does not return): leave without it.
    const std::string line = "hearthd: the stop had not finished after " + LimitText(stop_limit) +
                             "; leaving without it";
    WriteSystemLog(line);
    std::cerr << line << "\n";
    std::cerr.flush();
    ::_exit(kExitFailure);
  }
  const bool replies_sent = server->Stop(kReplyGrace);
  if (!ended || !replies_sent) {
    // The stop hangs on the service thread and the service asked to be
    // stopped outright: leave without it.
    std::cerr << "hearthd: the service did not finish its stop; leaving without it\n";
    std::cerr.flush();
    ::_exit(kExitOk);
  }
  bus.reset();
  server.reset();
  toolkit.reset();
  std::cerr << "hearthd: stopped\n";
  return kExitOk;
}

}  // namespace service
