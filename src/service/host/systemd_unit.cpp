#include "service/host/systemd_unit.h"

#include <sstream>
#include <vector>

namespace service {
namespace {

std::vector<std::string> DependencyUnits(const std::string& text) {
  std::vector<std::string> units;
  std::string name;
  auto flush = [&] {
    if (name.empty()) return;
    units.push_back(name.find('.') == std::string::npos ? name + ".service" : name);
    name.clear();
  };
  for (char c : text) {
    if (c == '/' || c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n' || c == '\0') {
      flush();
    } else {
      name.push_back(c);
    }
  }
  flush();
  return units;
}

int32_t Seconds(int32_t milliseconds) {
  if (milliseconds <= 0) return 1;
  return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 999) / 1000);
}

}  // namespace

std::string UnitQuote(const std::string& word) {
  bool plain = !word.empty();
  for (char c : word) {
    if (c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\' || c == '%' || c == ';' || c == '$') {
      plain = false;
    }
  }
  if (plain) return word;
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    if (c == '%') quoted.push_back('%');  // "%%" is a plain percent sign
    if (c == '$') quoted.push_back('$');  // "$$" is a plain dollar sign
    quoted.push_back(c);
  }
  return quoted + "\"";
}

std::string SystemdUnit(IdwEasyServConfig& config, const UnitOptions& options) {
  ServiceTimes times;
  config.DefaultTimes(times.start_wait, times.stop_wait, times.pause_wait, times.continue_wait);
  int32_t major = 0;
  int32_t minor = 0;
  config.GetVersion(major, minor);
  const bool accepts_stop = (config.ControlsAccepted() & kAcceptStop) != 0;
  const std::vector<std::string> dependencies = DependencyUnits(config.ServiceDependencies());
  const std::string account = config.ServiceAccount();

  std::ostringstream unit;
  unit << "# The hearth system service, written by hearthd --print-unit on Linux " << major << "." << minor << ".\n";
  if (!accepts_stop) {
    unit << "# It accepts no stop request: only a system shutdown stops it. To stop it anyway:\n"
            "#   systemctl kill hearthd.service   (a clean stop: settings are stored)\n"
            "# or set HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5 TraceLevel to \"4\" and install the unit again.\n";
  }
  unit << "[Unit]\n"
       << "Description=" << config.GetDescription() << "\n";
  if (!dependencies.empty()) {
    std::string list;
    for (const std::string& name : dependencies) list += (list.empty() ? "" : " ") + name;
    unit << "After=" << list << "\n"
         << "Requires=" << list << "\n";
  }
  if (!accepts_stop) unit << "RefuseManualStop=yes\n";
  unit << "\n[Service]\n"
       << "Type=notify\n"
       << "NotifyAccess=main\n"
       << "ExecStart=" << UnitQuote(options.exec_path);
  if (!options.root.empty()) unit << " --root " << UnitQuote(options.root);
  unit << "\n";
  if (!account.empty()) unit << "User=" << account << "\n";
  unit << "TimeoutStartSec=" << Seconds(times.start_wait) << "\n"
       << "TimeoutStopSec=" << Seconds(times.stop_wait) << "\n"
       << "KillMode=mixed\n"
       << "Restart=on-failure\n";
  if (config.AutoStart()) {
    unit << "\n[Install]\n"
         << "WantedBy=multi-user.target\n";
  }
  return unit.str();
}

}  // namespace service
