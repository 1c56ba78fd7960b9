// hearthd: the service host. Runs the system service in the foreground on a
// machine root until it is stopped: SIGTERM or SIGINT (a stop), SIGPWR (a
// system shutdown), or a request on <root>/run/hearthd.sock (hearthctl
// service stop|shutdown|control N).
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/root/machine_root.h"
#include "service/contracts/support_objects.h"
#include "service/host/control_protocol.h"
#include "service/host/control_server.h"
#include "service/host/instance_lock.h"
#include "service/host/service_toolkit.h"
#include "service/lifecycle/service.h"
#include "service/log/system_log.h"
#include "support/environment/environment_object.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// How long a service that asked to be stopped outright may still take to end
// on its own before the process leaves without it.
constexpr std::chrono::seconds kStopServiceGrace{3};
// How long answers still being sent may take at exit.
constexpr std::chrono::seconds kReplyGrace{2};

void PrintHelp(std::ostream& out) {
  out << "usage: hearthd [--root DIR]\n"
         "\n"
         "Runs the hearth system service in the foreground until it is stopped.\n"
         "\n"
         "Options:\n"
         "  --root DIR   the machine root (default: $HEARTH_ROOT, else /var/lib/hearth);\n"
         "               created when missing\n"
         "  --help       this text\n"
         "\n"
         "SIGTERM and SIGINT (Ctrl-C) stop the service, SIGPWR shuts it down as at a\n"
         "system shutdown; hearthctl service stop|shutdown|control N sends the same\n"
         "requests through DIR/run/hearthd.sock. Only one hearthd runs on a root.\n"
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

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t at = 0; at < args.size(); ++at) {
    const std::string& option = args[at];
    if (option == "--help" || option == "-h") {
      PrintHelp(std::cout);
      return kExitOk;
    }
    if (option == "--root" || option.rfind("--root=", 0) == 0) {
      std::string root = option == "--root" ? (at + 1 < args.size() ? args[++at] : "") : option.substr(7);
      if (root.empty()) return Usage("--root needs a folder");
      platform::SetMachineRoot(root);
      continue;
    }
    return Usage("unknown argument " + option);
  }

  const std::filesystem::path root = platform::MachineRoot();
  std::string error;
  if (!MakeFolder(root, "the machine root", &error)) return Fail(error);
  if (!MakeFolder(service::control::RunFolder(), "the run folder", &error)) return Fail(error);

  service::InstanceLock lock;
  switch (lock.Acquire(service::control::LockPath().string(), &error)) {
    case service::InstanceLock::Result::kAcquired: break;
    case service::InstanceLock::Result::kHeldElsewhere:
      return Fail("another hearthd is already running on " + root.string());
    case service::InstanceLock::Result::kFailed: return Fail(error);
  }

  // Before any thread starts, so that only the server's loop takes them.
  service::BlockServiceSignals();
  support::SetEnvironmentFlagOverride(true);
  contracts::SetSupportDiagnosticSink([](const std::string& line) { service::WriteSystemLog(line); });

  auto toolkit = std::make_unique<service::ServiceToolkit>(std::make_shared<service::Service>());
  auto server = std::make_unique<service::ControlServer>(*toolkit);
  if (!server->Listen(service::control::SocketPath().string(), &error)) return Fail(error);
  toolkit->Start();
  if (!server->Start(true, &error)) {
    // Without its requests the service could never be stopped: stop it now.
    toolkit->Deliver({service::control::RequestKind::kStop, 0});
    toolkit->WaitForEnd(kStopServiceGrace);
    server->Stop(kReplyGrace);
    return Fail(error);
  }
  std::cerr << "hearthd: running on " << root.string() << " (process " << ::getpid()
            << "); SIGTERM or Ctrl-C stops it\n";

  const bool ended = toolkit->WaitForEnd(kStopServiceGrace);
  const bool replies_sent = server->Stop(kReplyGrace);
  if (!ended || !replies_sent) {
    // The stop hangs on the service thread and the service asked to be
    // stopped outright: leave without it.
    std::cerr << "hearthd: the service did not finish its stop; leaving without it\n";
    std::cerr.flush();
    ::_exit(kExitOk);
  }
  server.reset();
  toolkit.reset();
  std::cerr << "hearthd: stopped\n";
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "hearthd: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "hearthd: unexpected failure\n";
  }
  return kExitFailure;
}
