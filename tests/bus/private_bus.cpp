#include "private_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "testing/log_messages.h"
#include "testing/temp_root.h"

extern char** environ;

namespace bus_test {
namespace {

// What the tests add to the system bus's default policy
// (system-bus-defaults.conf): root may monitor, and be (a test's fake of)
// systemd's manager.
constexpr char kTestPolicy[] = R"(
  <policy user="root">
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Monitoring"/>
  </policy>
  <!-- systemd's own policy: root may be (a test's fake of) the manager and call it. -->
  <policy user="root">
    <allow own="org.freedesktop.systemd1"/>
    <allow send_destination="org.freedesktop.systemd1"/>
  </policy>
)";

constexpr char kOpenPolicy[] = R"(
  <policy context="default">
    <allow send_destination="com.norvale.Hearth"/>
    <allow receive_sender="com.norvale.Hearth"/>
  </policy>
)";

}  // namespace

std::string ProgramPath(const std::string& program) { return testing_support::BuiltProgramPath(program); }

std::filesystem::path SourcePath(const std::string& relative) {
  const char* source = std::getenv("HEARTH_SOURCE_DIR");
  return std::filesystem::path(source == nullptr ? HEARTH_SOURCE_ROOT : source) / relative;
}

// --- Process -----------------------------------------------------------------

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::filesystem::path& out_file, uid_t uid)
    : BackgroundProgram(argv, out_file, out_file.string() + ".err", env, uid) {}

// --- PrivateBus --------------------------------------------------------------

PrivateBus::PrivateBus(Policy policy, bool start_daemon) {
  std::string pattern = (std::filesystem::temp_directory_path() / "hearth-bus-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  // Other users reach the socket too (the refused-caller tests).
  ::chmod(folder_.c_str(), 0755);
  socket_ = folder_ / "bus.sock";
  std::ofstream config(folder_ / "bus.conf");
  config << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>\n"
         << "  <listen>unix:path=" << socket_.string() << "</listen>\n  <auth>EXTERNAL</auth>\n"
         << "  <include>" << SourcePath("tests/bus/system-bus-defaults.conf").string() << "</include>\n"
         << kTestPolicy << "  <include>" << SourcePath("config/dbus/com.norvale.Hearth.conf").string()
         << "</include>\n"
         << (policy == Policy::kOpen ? kOpenPolicy : "") << "</busconfig>\n";
  config.close();
  if (start_daemon) StartDaemon();
}

PrivateBus::~PrivateBus() {
  StopService();
  daemon_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void PrivateBus::StartDaemon() {
  daemon_ = std::make_unique<Process>(
      std::vector<std::string>{"/usr/bin/dbus-daemon", "--nofork", "--nopidfile",
                               "--config-file=" + (folder_ / "bus.conf").string()},
      Environment(), folder_ / "dbus-daemon.out");
  for (int i = 0; i < 2000 && !std::filesystem::exists(socket_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

namespace {

// Sets NAME=VALUE in `env`. An inherited entry of that name is replaced, not
// shadowed: a program reads the first of two. A sanitizer's *_OPTIONS are
// appended to the inherited ones instead, so the test's options win (the last
// of an option counts) and the runner's stay.
void MergeEnvironmentEntry(std::vector<std::string>& env, const std::string& entry) {
  const std::string name = entry.substr(0, entry.find('=') + 1);
  for (std::string& existing : env) {
    if (existing.rfind(name, 0) != 0) continue;
    const bool options = name.size() > 9 && name.compare(name.size() - 9, 9, "_OPTIONS=") == 0;
    existing = options ? existing + ":" + entry.substr(name.size()) : entry;
    return;
  }
  env.push_back(entry);
}

}  // namespace

std::vector<std::string> PrivateBus::Environment() const {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DBUS_SYSTEM_BUS_ADDRESS=", 0) == 0 || entry.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + address());
  return env;
}

void PrivateBus::StartService(bool wait_for_name) {
  std::vector<std::string> env = Environment();
  for (const std::string& entry : service_env_) MergeEnvironmentEntry(env, entry);
  service_ = std::make_unique<Process>(std::vector<std::string>{ProgramPath("hearthd"), "--root", root().string()},
                                       env, folder_ / "hearthd.out");
  if (wait_for_name && !WaitForName()) throw std::runtime_error("hearthd did not take its name on the bus");
}

void PrivateBus::StopService() {
  if (!service_) return;
  service_->Signal(SIGTERM);
  service_->Wait(std::chrono::seconds(30));
  service_.reset();
}

bool PrivateBus::WaitForName(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    Finished f = Run({"busctl", "--system", "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus", "NameHasOwner", "s", "com.norvale.Hearth"});
    if (f.out == "b true\n") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

Finished PrivateBus::Run(const std::vector<std::string>& argv, uid_t uid, std::chrono::milliseconds limit) {
  Process process(argv, Environment(), folder_ / ("run." + std::to_string(++runs_) + ".out"), uid);
  return process.Wait(limit);
}

Finished PrivateBus::Call(const std::string& path, const std::string& interface_name, const std::string& member,
                          const std::vector<std::string>& args, uid_t uid) {
  std::vector<std::string> argv{"busctl", "--system", "call", "--", "com.norvale.Hearth", path, interface_name, member};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, uid);
}

Finished PrivateBus::Settings(const std::string& member, const std::vector<std::string>& args, uid_t uid) {
  return Call("/com/norvale/Hearth/Settings/System", "com.norvale.Hearth.cSettings", member, args, uid);
}

std::unique_ptr<Process> PrivateBus::Spawn(const std::vector<std::string>& argv, const std::string& name) {
  return std::make_unique<Process>(argv, Environment(), folder_ / (name + ".out"));
}

std::string PrivateBus::WaitForOutput(const std::string& name, const std::string& text,
                                      std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string out;
  for (;;) {
    out = testing_support::ReadFileBytes(folder_ / (name + ".out"));
    if (out.find(text) != std::string::npos || std::chrono::steady_clock::now() > deadline) return out;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::unique_ptr<Process> PrivateBus::StartMonitor(const std::string& name) {
  auto monitor = Spawn({"gdbus", "monitor", "--system", "--dest", "com.norvale.Hearth"}, name);
  // gdbus prints its first line once its match rules are in place.
  WaitForOutput(name, "owned by");
  return monitor;
}

std::filesystem::path PrivateBus::SystemLog() const { return root() / "commonfiles/Norvale/QORC/log/hearth.log"; }

std::vector<std::string> PrivateBus::LogLines(const std::string& text) const {
  std::vector<std::string> lines;
  for (const std::string& message : testing_support::LogFileMessages(SystemLog())) {
    if (message.find(text) != std::string::npos) lines.push_back(message);
  }
  return lines;
}

}  // namespace bus_test
