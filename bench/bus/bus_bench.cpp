// A GetValue round trip through hearthd on a private bus, against a bare
// echo method on the same bus served with the same library (sd-bus) from a
// thread of this program. The ratio echo time / GetValue time is what the
// service's own path (apartment hop, argument mapping) costs; goal >= 0.8.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

pid_t Spawn(const std::vector<std::string>& argv, const std::string& address, const fs::path& log) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

sd_bus* Open(const std::string& address) {
  sd_bus* bus = nullptr;
  sd_bus_new(&bus);
  sd_bus_set_address(bus, address.c_str());
  sd_bus_set_bus_client(bus, 1);
  if (sd_bus_start(bus) < 0) throw std::runtime_error("cannot reach the bus at " + address);
  return bus;
}

int Echo(sd_bus_message* call, void*, sd_bus_error*) {
  const char* text = nullptr;
  sd_bus_message_read(call, "s", &text);
  return sd_bus_reply_method_return(call, "v", "s", text);
}

const sd_bus_vtable kEchoTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Echo", "s", "v", Echo, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

// The private bus, hearthd on it, and the echo server, for the whole run.
class World {
 public:
  World() {
    char pattern[] = "/tmp/hearth-bus-bench-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    address_ = "unix:path=" + (folder_ / "bus.sock").string();
    std::ofstream(folder_ / "bus.conf") << "<busconfig><listen>" << address_
                                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                           "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                                           "<allow receive_sender=\"*\"/></policy></busconfig>\n";
    daemon_ = Spawn({"/usr/bin/dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + (folder_ / "bus.conf").string()},
                    address_, folder_ / "daemon.log");
    for (int i = 0; i < 1000 && !fs::exists(folder_ / "bus.sock"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const fs::path self = fs::read_symlink("/proc/self/exe");
    service_ = Spawn({(self.parent_path().parent_path() / "bin/hearthd").string(), "--root", (folder_ / "root").string()},
                     address_, folder_ / "hearthd.log");
    echo_ = std::thread([this] { ServeEcho(); });
    client_ = Open(address_);
    for (int i = 0; i < 3000 && !(Owned("com.norvale.Hearth") && Owned("com.norvale.HearthBench")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sd_bus_call_method(client_, "com.norvale.Hearth", "/com/norvale/Hearth/Settings/System",
                       "com.norvale.Hearth.cSettings", "SetValue", nullptr, nullptr, "sv", "sys.bench", "s",
                       "a setting value");
  }
  ~World() {
    stop_ = true;
    echo_.join();
    sd_bus_flush_close_unref(client_);
    ::kill(service_, SIGTERM);
    ::waitpid(service_, nullptr, 0);
    ::kill(daemon_, SIGTERM);
    ::waitpid(daemon_, nullptr, 0);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  sd_bus* client() const { return client_; }

 private:
  bool Owned(const char* name) {
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(client_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", nullptr, &reply, "s", name) >= 0) {
      sd_bus_message_read(reply, "b", &owned);
    }
    sd_bus_message_unref(reply);
    return owned;
  }
  void ServeEcho() {
    sd_bus* bus = Open(address_);
    sd_bus_add_object_vtable(bus, nullptr, "/com/norvale/HearthBench", "com.norvale.HearthBench", kEchoTable, nullptr);
    sd_bus_request_name(bus, "com.norvale.HearthBench", 0);
    while (!stop_) {
      if (sd_bus_process(bus, nullptr) > 0) continue;
      sd_bus_wait(bus, 20000);
    }
    sd_bus_flush_close_unref(bus);
  }

  fs::path folder_;
  std::string address_;
  pid_t daemon_ = -1;
  pid_t service_ = -1;
  std::thread echo_;
  std::atomic<bool> stop_{false};
  sd_bus* client_ = nullptr;
};

World& TheWorld() {
  static World world;
  return world;
}

void BM_GetValueThroughTheService(benchmark::State& state) {
  sd_bus* bus = TheWorld().client();
  for (auto _ : state) {
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "com.norvale.Hearth", "/com/norvale/Hearth/Settings/System",
                           "com.norvale.Hearth.cSettings", "GetValue", nullptr, &reply, "s", "sys.bench") < 0) {
      state.SkipWithError("GetValue failed");
      break;
    }
    sd_bus_message_unref(reply);
  }
}
BENCHMARK(BM_GetValueThroughTheService)->UseRealTime()->MinTime(1.0);

void BM_BareEchoOnTheSameBus(benchmark::State& state) {
  sd_bus* bus = TheWorld().client();
  for (auto _ : state) {
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "com.norvale.HearthBench", "/com/norvale/HearthBench", "com.norvale.HearthBench",
                           "Echo", nullptr, &reply, "s", "a setting value") < 0) {
      state.SkipWithError("Echo failed");
      break;
    }
    sd_bus_message_unref(reply);
  }
}
BENCHMARK(BM_BareEchoOnTheSameBus)->UseRealTime()->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
