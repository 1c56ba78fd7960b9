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

constexpr char kDefaultRoot[] = "/var/lib/hearth";

// What the service needs, and no more: it writes only below its machine
// root (run/ holds its socket and lock), reads the rest of the system (PAM
// reads /etc/shadow as root, the owner), talks over local sockets (the bus,
// the journal, sd_notify) and the Internet (the name resolver), changes a
// file's group (the rights component) and reaches files of other users for
// backup and playback. Programs it is asked to start run in transient units
// of their own (platform/host/transient_unit.h), outside all of this.
std::string Confinement(const std::string& root) {
  return "# Confinement: hearthd(8), CONFINEMENT, says what to loosen for a plug-in that needs more.\n"
         "UMask=0027\n"
         "NoNewPrivileges=yes\n"
         "ProtectSystem=strict\n"
         "ReadWritePaths=" + UnitQuote(root) + "\n"
         "ProtectHome=read-only\n"
         "PrivateTmp=yes\n"
         "PrivateDevices=yes\n"
         "ProtectKernelTunables=yes\n"
         "ProtectKernelModules=yes\n"
         "ProtectKernelLogs=yes\n"
         "ProtectControlGroups=yes\n"
         "ProtectClock=yes\n"
         "ProtectHostname=yes\n"
         "ProtectProc=invisible\n"
         "RestrictNamespaces=yes\n"
         "LockPersonality=yes\n"
         "MemoryDenyWriteExecute=yes\n"
         "RestrictRealtime=yes\n"
         "RestrictSUIDSGID=yes\n"
         "SystemCallArchitectures=native\n"
         "SystemCallFilter=@system-service\n"
         "SystemCallFilter=~@resources @obsolete @debug @cpu-emulation\n"
         "SystemCallErrorNumber=EPERM\n"
         "CapabilityBoundingSet=CAP_CHOWN CAP_DAC_OVERRIDE CAP_DAC_READ_SEARCH CAP_FOWNER CAP_AUDIT_WRITE\n"
         "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n";
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
            "#   systemctl kill --kill-whom=main hearthd.service   (a clean stop: settings are stored)\n"
            "# or set HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5 TraceLevel to \"4\" and install the unit again.\n";
  }
  unit << "[Unit]\n"
       << "Description=" << config.GetDescription() << "\n"
       << "Documentation=man:hearthd(8) man:hearthctl(8)\n"
       // Clients reach the service over the system bus.
       << "After=dbus.service\n"
       << "Wants=dbus.service\n";
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
  unit << Confinement(options.root.empty() ? std::string(kDefaultRoot) : options.root);
  if (config.AutoStart()) {
    unit << "\n[Install]\n"
         << "WantedBy=multi-user.target\n";
  }
  return unit.str();
}

}  // namespace service
