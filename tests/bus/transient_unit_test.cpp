// Under systemd, "runprogram" and "launchprocess" start their programs as
// transient units through the manager's StartTransientUnit, here a fake of
// the manager object on the test's private bus.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "private_bus.h"

namespace bus_test {
namespace {

constexpr char kIo[] = "/com/norvale/Hearth/IoNotify";
constexpr char kIoIface[] = "com.norvale.Hearth.cIoNotify";

// org.freedesktop.systemd1's StartTransientUnit, recorded and not run.
class FakeManager {
 public:
  struct Job {
    std::string unit, mode, description, path;
    std::vector<std::string> argv;
  };

  explicit FakeManager(const std::string& address) {
    EXPECT_GE(sd_bus_new(&bus_), 0);
    sd_bus_set_address(bus_, address.c_str());
    sd_bus_set_bus_client(bus_, 1);
    EXPECT_GE(sd_bus_start(bus_), 0);
    EXPECT_GE(sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/systemd1", "org.freedesktop.systemd1.Manager",
                                       Vtable(), this),
              0);
    EXPECT_GE(sd_bus_request_name(bus_, "org.freedesktop.systemd1", 0), 0);
    thread_ = std::thread([this] {
      while (!stop_) {
        while (sd_bus_process(bus_, nullptr) > 0) {}
        sd_bus_wait(bus_, 50000);
      }
    });
  }
  ~FakeManager() {
    stop_ = true;
    thread_.join();
    sd_bus_flush_close_unref(bus_);
  }
  std::vector<Job> jobs() {
    std::lock_guard lock(mutex_);
    return jobs_;
  }

 private:
  static int Start(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<FakeManager*>(userdata);
    Job job;
    const char* unit = nullptr;
    const char* mode = nullptr;
    if (sd_bus_message_read(m, "ss", &unit, &mode) < 0) return -EINVAL;
    job.unit = unit;
    job.mode = mode;
    sd_bus_message_enter_container(m, 'a', "(sv)");
    while (sd_bus_message_enter_container(m, 'r', "sv") > 0) {
      const char* name = nullptr;
      sd_bus_message_read(m, "s", &name);
      const std::string property = name;
      if (property == "Description") {
        const char* text = nullptr;
        sd_bus_message_read(m, "v", "s", &text);
        job.description = text;
      } else if (property == "ExecStart") {
        sd_bus_message_enter_container(m, 'v', "a(sasb)");
        sd_bus_message_enter_container(m, 'a', "(sasb)");
        sd_bus_message_enter_container(m, 'r', "sasb");
        const char* path = nullptr;
        sd_bus_message_read(m, "s", &path);
        job.path = path;
        char** argv = nullptr;
        sd_bus_message_read_strv(m, &argv);
        for (char** a = argv; a != nullptr && *a != nullptr; ++a) {
          job.argv.push_back(*a);
          free(*a);
        }
        free(argv);
        int ignore = 0;
        sd_bus_message_read(m, "b", &ignore);
        for (int i = 0; i < 3; ++i) sd_bus_message_exit_container(m);
      } else {
        sd_bus_message_skip(m, "v");
      }
      sd_bus_message_exit_container(m);
    }
    {
      std::lock_guard lock(self->mutex_);
      self->jobs_.push_back(job);
    }
    return sd_bus_reply_method_return(m, "o", "/org/freedesktop/systemd1/job/1");
  }
  static const sd_bus_vtable* Vtable() {
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("StartTransientUnit", "ssa(sv)a(sa(sv))", "o", Start, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };
    return table;
  }

  sd_bus* bus_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Job> jobs_;
};

TEST(TransientUnitTest, UnderSystemdEachProgramIsATransientUnitOfItsOwn) {
  PrivateBus bus;
  FakeManager manager(bus.address());
  bus.AddServiceEnvironment("INVOCATION_ID=0123456789abcdef0123456789abcdef");
  bus.StartService();
  const std::string shell_marker = (bus.folder() / "shell ran").string();
  const std::string launch_marker = (bus.folder() / "launched").string();
  const std::string message = "<m><action type='runprogram'><commandline>touch '" + shell_marker +
                              "'</commandline></action><action type='launchprocess'><commandline>touch '" +
                              launch_marker + "'</commandline></action></m>";
  Finished f = bus.Call(kIo, kIoIface, "DoXMLAction", {"s", message});
  ASSERT_EQ(f.exit_code, 0) << f.err;

  const std::vector<FakeManager::Job> jobs = manager.jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].mode, "fail");
  EXPECT_EQ(jobs[0].unit.rfind("hearth-launch-", 0), 0u) << jobs[0].unit;
  EXPECT_NE(jobs[0].unit, jobs[1].unit);
  EXPECT_EQ(jobs[0].path, "/bin/sh");
  EXPECT_EQ(jobs[0].argv, (std::vector<std::string>{"/bin/sh", "-c", "touch '" + shell_marker + "'"}));
  EXPECT_EQ(jobs[0].description, "hearth: touch '" + shell_marker + "'");
  EXPECT_EQ(jobs[1].path.substr(jobs[1].path.rfind('/')), "/touch");
  EXPECT_EQ(jobs[1].argv, (std::vector<std::string>{jobs[1].path, launch_marker}));
  // The manager runs them, not hearthd.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(std::filesystem::exists(shell_marker));
  EXPECT_FALSE(std::filesystem::exists(launch_marker));
}

TEST(TransientUnitTest, WhenTheManagerCannotBeAskedTheProgramStartsDetached) {
  PrivateBus bus;
  bus.AddServiceEnvironment("INVOCATION_ID=0123456789abcdef0123456789abcdef");
  bus.StartService();
  const std::string marker = (bus.folder() / "launched").string();
  Finished f = bus.Call(kIo, kIoIface, "DoXMLAction",
                        {"s", "<m><action type='launchprocess'><commandline>touch '" + marker +
                                  "'</commandline></action></m>"});
  ASSERT_EQ(f.exit_code, 0) << f.err;
  for (int i = 0; i < 250 && !std::filesystem::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_EQ(bus.LogLines("Launcher: the system manager did not start hearth-launch-").size(), 1u);
  EXPECT_EQ(bus.LogLines("; starting the program detached instead").size(), 1u);
}

}  // namespace
}  // namespace bus_test
