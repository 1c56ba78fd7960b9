#include "service/host/systemd_reports.h"

#include "platform/host/system_manager.h"

namespace service {

void SystemdReports::Ready() { platform::host::NotifySystemManager("READY=1\nSTATUS=running"); }

void SystemdReports::Stopping() { platform::host::NotifySystemManager("STOPPING=1\nSTATUS=stopping"); }

void SystemdReports::Status(const std::string& text) { platform::host::NotifySystemManager("STATUS=" + text); }

}  // namespace service
