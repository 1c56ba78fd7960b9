#include "platform/host/transient_unit.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform::host {
namespace {

// How long the manager may take to accept the job.
constexpr uint64_t kCallTimeoutUsec = 10 * 1000 * 1000;

// The job's properties: what systemd-run sets for a plain command.
int AppendProperties(sd_bus_message* m, const std::string& description, const std::vector<std::string>& argv) {
  int r = sd_bus_message_open_container(m, 'a', "(sv)");
  if (r < 0) return r;
  r = sd_bus_message_append(m, "(sv)", "Description", "s", description.c_str());
  if (r < 0) return r;
  // Gone from the manager's list once it has ended, failed or not.
  r = sd_bus_message_append(m, "(sv)", "CollectMode", "s", "inactive-or-failed");
  if (r < 0) return r;
  r = sd_bus_message_open_container(m, 'r', "sv");
  if (r >= 0) r = sd_bus_message_append(m, "s", "ExecStart");
  if (r >= 0) r = sd_bus_message_open_container(m, 'v', "a(sasb)");
  if (r >= 0) r = sd_bus_message_open_container(m, 'a', "(sasb)");
  if (r >= 0) r = sd_bus_message_open_container(m, 'r', "sasb");
  if (r >= 0) r = sd_bus_message_append(m, "s", argv.front().c_str());
  if (r >= 0) {
    std::vector<char*> words;
    for (const std::string& word : argv) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    r = sd_bus_message_append_strv(m, words.data());
  }
  if (r >= 0) r = sd_bus_message_append(m, "b", 0);  // a failing exit is a failed unit
  for (int i = 0; i < 4 && r >= 0; ++i) r = sd_bus_message_close_container(m);
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r;
}

}  // namespace

bool StartedBySystemManager() {
  const char* id = std::getenv("INVOCATION_ID");
  return id != nullptr && *id != '\0';
}

std::string NewTransientUnitName(const std::string& prefix) {
  static std::atomic<unsigned long> counter{0};
  return prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".service";
}

bool StartTransientService(const std::string& unit_name, const std::string& description,
                           const std::vector<std::string>& argv, std::string* error) {
  if (argv.empty() || argv.front().empty() || argv.front()[0] != '/') {
    *error = "the program needs an absolute path";
    return false;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_open_system(&bus);
  if (r < 0) {
    *error = std::string("cannot reach the system bus: ") + std::strerror(-r);
    return false;
  }
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error bus_error = SD_BUS_ERROR_NULL;
  r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                     "org.freedesktop.systemd1.Manager", "StartTransientUnit");
  if (r >= 0) r = sd_bus_message_append(call, "ss", unit_name.c_str(), "fail");
  if (r >= 0) r = AppendProperties(call, description, argv);
  if (r >= 0) r = sd_bus_message_append(call, "a(sa(sv))", 0);
  if (r < 0) {
    *error = std::string("cannot build the request: ") + std::strerror(-r);
  } else {
    r = sd_bus_call(bus, call, kCallTimeoutUsec, &bus_error, &reply);
    if (r < 0) {
      *error = "the system manager did not start " + unit_name + ": " +
               (bus_error.message != nullptr ? std::string(bus_error.message) : std::string(std::strerror(-r)));
    }
  }
  sd_bus_error_free(&bus_error);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  sd_bus_flush_close_unref(bus);
  return r >= 0;
}

}  // namespace platform::host
