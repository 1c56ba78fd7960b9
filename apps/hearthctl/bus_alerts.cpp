// "hearthctl alerts post|delete" while hearthd runs: the change goes through
// the service, as any client's does, so its clients hear of it (the
// AlertChanged signal). Without the service the commands write the store
// themselves.
#include <systemd/sd-bus.h>

#include <optional>
#include <string>

#include "alert_store.h"
#include "alerts/mod_alert.h"
#include "bus/bus_names.h"
#include "bus_client.h"
#include "service_probe.h"

namespace hearthctl {
namespace {

// Whether `client` reaches the root's running service. False when none
// runs, or it cannot be reached on the bus (a service without a bus has no
// clients to tell): the command then writes the store itself, which the
// store's own locking makes safe beside the service.
bool Connected(BusClient& client, std::string* error) {
  const std::optional<ServiceState> state = ProbeRootService(nullptr, error);
  const bool reached = state && *state == ServiceState::kRunning && ConnectToRootService(client, error);
  error->clear();
  return reached;
}

}  // namespace

std::optional<bool> PostAlertViaService(const std::string& store, uint8_t severity, const std::string& summary,
                                        const std::string& description, const std::string& alert_id,
                                        int32_t* index, std::string* error) {
  BusClient client;
  if (!Connected(client, error)) return std::nullopt;
  BusReply reply = client.Call(
      bus::kIoNotifyPath, bus::kIoNotifyInterface, "IoPostAlert",
      [&](sd_bus_message* call) {
        // No event time given: the service stamps the current time.
        return sd_bus_message_append(call, "syssssbibvs", store.c_str(), severity, summary.c_str(),
                                     description.c_str(), alert_id.c_str(), "", 0, 0, 0, "(sv)", "Date", "d",
                                     alerts::kNoEventTime, "");
      },
      error);
  int posted = 0;
  if (!reply || sd_bus_message_read(reply.get(), "bi", &posted, index) < 0) {
    if (error->empty()) *error = "the service's answer could not be read";
    return false;
  }
  if (!posted) *error = "the service did not store the alert";
  return posted != 0;
}

std::optional<bool> DeleteAlertViaService(int32_t index, std::string* error) {
  BusClient client;
  if (!Connected(client, error)) return std::nullopt;
  BusReply reply = client.Call(
      bus::kIoNotifyPath, bus::kIoNotifyInterface, "IoDeleteAlert",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "i", index); }, error);
  int deleted = 0;
  if (!reply || sd_bus_message_read(reply.get(), "b", &deleted) < 0) {
    if (error->empty()) *error = "the service's answer could not be read";
    return false;
  }
  if (!deleted) *error = "the service did not delete the alert";
  return deleted != 0;
}

}  // namespace hearthctl
