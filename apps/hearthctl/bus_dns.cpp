// "hearthctl dns resolve --via-service": the running service's resolver, so
// its cache and its configuration answer.
#include <cstring>
#include <string>
#include <vector>

#include "bus/bus_names.h"
#include "bus_client.h"
#include "command.h"
#include "support/sock/dotted_address.h"

namespace hearthctl {
namespace {

// One text answer of a resolver member; false with *error on a failed call.
bool Ask(BusClient& client, const char* member, const std::string& text, long timeout_seconds, std::string* answer,
         std::string* error) {
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error bus_error = SD_BUS_ERROR_NULL;
  int r = sd_bus_message_new_method_call(client.bus(), &call, client.destination().c_str(), bus::kDnsResolverPath, bus::kDnsResolverInterface,
                                         member);
  if (r >= 0) r = sd_bus_message_append(call, "s", text.c_str());
  if (r >= 0) r = sd_bus_call(client.bus(), call, static_cast<uint64_t>(timeout_seconds) * 1000000u, &bus_error, &reply);
  const char* value = nullptr;
  if (r >= 0) r = sd_bus_message_read(reply, "s", &value);
  if (r < 0) {
    *error = r == -ETIMEDOUT ? "no answer for \"" + text + "\" within " + std::to_string(timeout_seconds) + " s"
                             : std::string(bus_error.message ? bus_error.message : std::strerror(-r));
  } else {
    *answer = value ? value : "";
  }
  sd_bus_error_free(&bus_error);
  sd_bus_message_unref(call);
  sd_bus_message_unref(reply);
  return r >= 0;
}

}  // namespace

int ResolveViaService(const Command& self, const std::vector<std::string>& texts, long timeout_seconds, Io& io) {
  BusClient client;
  std::string error;
  if (!ConnectToRootService(client, &error)) return Report(io, self, error, kExitFailure);
  int exit_code = kExitOk;
  for (const std::string& text : texts) {
    std::string hostname = text;
    std::string addresses;
    bool ok = true;
    if (support::TextToAddress(text) != support::kInvalidAddress) {
      // An address: its name, then every address of that name (the service
      // keeps them from the same lookup).
      ok = Ask(client, "GetHostname", text, timeout_seconds, &hostname, &error);
      if (ok && !hostname.empty()) ok = Ask(client, "GetAddress", hostname, timeout_seconds, &addresses, &error);
    } else {
      ok = Ask(client, "GetAddress", text, timeout_seconds, &addresses, &error);
    }
    if (!ok) {
      exit_code = Report(io, self, error, kExitFailure);
    } else if (hostname.empty() || addresses.empty()) {
      exit_code = Report(io, self, "\"" + text + "\" not found", kExitFailure);
    } else {
      io.out << hostname << " " << addresses << "\n";
    }
  }
  return exit_code;
}

}  // namespace hearthctl
