// A private bus for one test: a dbus-daemon of its own whose configuration
// is the system bus's default policy plus the installed hearthd policy file,
// a hearthd on a fresh machine root connected to it, and the command-line
// clients (busctl, gdbus, hearthctl) run against it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/background_program.h"

namespace bus_test {

using Finished = testing_support::ProgramEnd;

// A program in the background with the given environment, output in
// `out_file` and `out_file`.err; `uid` other than 0 runs it as that user.
class Process : public testing_support::BackgroundProgram {
 public:
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::filesystem::path& out_file, uid_t uid = 0);
};

enum class Policy {
  kInstalled,  // the system bus defaults and the installed policy file
  kOpen,       // a mistaken policy that lets anyone call: the service's own check is all there is
};

class PrivateBus {
 public:
  explicit PrivateBus(Policy policy = Policy::kInstalled, bool start_daemon = true);
  ~PrivateBus();

  // Starts the daemon (done by the constructor unless told otherwise).
  void StartDaemon();
  // Adds NAME=VALUE to hearthd's environment (before StartService).
  void AddServiceEnvironment(std::string entry) { service_env_.push_back(std::move(entry)); }
  // Starts hearthd on the fresh root and waits until it holds its name.
  void StartService(bool wait_for_name = true);
  // Waits up to `limit` for hearthd's name on the bus.
  bool WaitForName(std::chrono::milliseconds limit = std::chrono::seconds(30));

  // Runs a command to its end with the bus in its environment; `uid` other
  // than 0 runs it as that user (and group), with no other groups.
  Finished Run(const std::vector<std::string>& argv, uid_t uid = 0,
               std::chrono::milliseconds limit = std::chrono::seconds(60));
  // busctl --system call com.norvale.Hearth PATH INTERFACE MEMBER ARGS...
  Finished Call(const std::string& path, const std::string& interface_name, const std::string& member,
                const std::vector<std::string>& args = {}, uid_t uid = 0);
  // The same on the system settings collection.
  Finished Settings(const std::string& member, const std::vector<std::string>& args = {}, uid_t uid = 0);
  // A background client with the bus in its environment.
  std::unique_ptr<Process> Spawn(const std::vector<std::string>& argv, const std::string& name);
  // The output so far of the background client `name` once it holds `text`,
  // or when `limit` has passed without.
  std::string WaitForOutput(const std::string& name, const std::string& text,
                            std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  // `gdbus monitor` of the service's name (output `name`.out), listening.
  std::unique_ptr<Process> StartMonitor(const std::string& name = "monitor");

  std::vector<std::string> Environment() const;
  std::string address() const { return "unix:path=" + socket_.string(); }
  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path root() const { return folder_ / "root"; }
  std::filesystem::path SystemLog() const;
  // The system log's messages that contain `text`.
  std::vector<std::string> LogLines(const std::string& text) const;
  Process* service() { return service_.get(); }
  void StopService();

 private:
  std::filesystem::path folder_;
  std::filesystem::path socket_;
  std::unique_ptr<Process> daemon_;
  std::unique_ptr<Process> service_;
  int runs_ = 0;
  std::vector<std::string> service_env_;
};

// ${HEARTH_BIN_DIR}/program, ${HEARTH_SOURCE_DIR}/relative.
std::string ProgramPath(const std::string& program);
std::filesystem::path SourcePath(const std::string& relative);

}  // namespace bus_test
