// Many clients at once: 16 connections making 2,000 calls each, reads and
// writes mixed, while one more connection listens to the signals.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "private_bus.h"

namespace bus_test {
namespace {

constexpr int kClients = 16;
constexpr int kCallsEach = 2000;

sd_bus* Open(const std::string& address) {
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0) return nullptr;
  sd_bus_set_address(bus, address.c_str());
  sd_bus_set_bus_client(bus, 1);
  if (sd_bus_start(bus) < 0) return sd_bus_unref(bus);
  return bus;
}

long ResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Client k writes "load.k" (a new value each time) and reads it back.
int RunClient(const std::string& address, int k, int calls) {
  sd_bus* bus = Open(address);
  if (bus == nullptr) return calls;
  int failures = 0;
  const std::string name = "load.client" + std::to_string(k);
  int32_t last = -1;
  for (int i = 0; i < calls; ++i) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r;
    if (i % 2 == 0) {
      last = i;
      r = sd_bus_call_method(bus, "com.norvale.Hearth", "/com/norvale/Hearth/Settings/System",
                             "com.norvale.Hearth.cSettings", "SetValue", &error, &reply, "sv", name.c_str(), "i", last);
    } else {
      r = sd_bus_call_method(bus, "com.norvale.Hearth", "/com/norvale/Hearth/Settings/System",
                             "com.norvale.Hearth.cSettings", "GetValue", &error, &reply, "s", name.c_str());
      int32_t value = -2;
      if (r >= 0) r = sd_bus_message_read(reply, "v", "i", &value);
      if (r >= 0 && value != last) r = -1;
    }
    if (r < 0) ++failures;
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
  }
  sd_bus_flush_close_unref(bus);
  return failures;
}

TEST(BusLoadTest, SixteenClientsMakingTwoThousandCallsEachAllSucceedAndNoSignalIsLost) {
  PrivateBus bus;
  // In a sanitizer build freed memory is held back in quarantine and looks
  // resident; without it what stays resident is what the service keeps.
  bus.AddServiceEnvironment("ASAN_OPTIONS=quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
  bus.StartService();

  // The listener counts every SettingChanged it hears.
  std::atomic<long> heard{0};
  std::atomic<bool> listening{false};
  std::atomic<bool> stop{false};
  std::thread listener([&] {
    sd_bus* conn = Open(bus.address());
    ASSERT_NE(conn, nullptr);
    sd_bus_add_match(
        conn, nullptr,
        "type='signal',sender='com.norvale.Hearth',interface='com.norvale.Hearth.cSettings',member='SettingChanged'",
        [](sd_bus_message*, void* counter, sd_bus_error*) {
          ++*static_cast<std::atomic<long>*>(counter);
          return 0;
        },
        &heard);
    listening = true;
    while (!stop) {
      if (sd_bus_process(conn, nullptr) > 0) continue;
      sd_bus_wait(conn, 50000);
    }
    sd_bus_flush_close_unref(conn);
  });
  while (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  // A warm-up round, so that the memory measured before is the steady one.
  ASSERT_EQ(RunClient(bus.address(), 99, 400), 0);
  const long before = ResidentKib(bus.service()->pid());

  std::vector<std::thread> clients;
  std::atomic<int> failures{0};
  for (int k = 0; k < kClients; ++k) {
    clients.emplace_back([&, k] { failures += RunClient(bus.address(), k, kCallsEach); });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failures.load(), 0);

  // Every write changed its value: one signal each, warm-up included.
  const long expected = 200 + static_cast<long>(kClients) * kCallsEach / 2;
  for (int i = 0; i < 3000 && heard.load() < expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop = true;
  listener.join();
  EXPECT_EQ(heard.load(), expected);

  const long after = ResidentKib(bus.service()->pid());
  ASSERT_GT(before, 0);
  EXPECT_LE(after, before + before / 10) << "resident memory grew from " << before << " KiB to " << after << " KiB";
  EXPECT_TRUE(bus.service()->Running());
}

}  // namespace
}  // namespace bus_test
