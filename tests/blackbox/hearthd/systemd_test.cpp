// hearthd under systemd: the unit it prints, and its readiness and stop
// reports on $NOTIFY_SOCKET.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "programs.h"
#include "testing/temp_root.h"

namespace hearthd_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SystemdTest : public ::testing::Test {
 protected:
  fs::path Root() const { return root_ / "machine"; }
  std::string LogText() const {
    return testing_support::ReadFileBytes(Root() / "commonfiles/Norvale/QORC/log/hearth.log");
  }
  Finished Run(const std::string& program, const std::vector<std::string>& args) {
    return RunToEnd(program, args, root_ / "output");
  }
  testing_support::TempRoot root_;
};

// A datagram socket standing in for systemd's notification socket.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    timeval timeout{30, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~NotifySocket() { ::close(fd_); }
  // The next message; empty when none came within 30 s.
  std::string Next() {
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

 private:
  std::string path_;
  int fd_ = -1;
};

TEST_F(SystemdTest, ThePrintedUnitFollowsTheConfigurationAndSystemdAcceptsIt) {
  struct Case {
    const char* trace_level;  // nullptr: no value
    bool refuses_stop;
  } cases[] = {{nullptr, true}, {"4", false}, {" 4", true}, {"04", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace_level ? c.trace_level : "(none)");
    if (c.trace_level != nullptr) {
      ASSERT_EQ(Run("hearthctl", {"--root", Root().string(), "reg", "set", "HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5",
                                  "TraceLevel", c.trace_level})
                    .exit_code,
                0);
    }
    Finished printed = Run("hearthd", {"--root", Root().string(), "--print-unit"});
    ASSERT_EQ(printed.exit_code, 0) << printed.err;
    const std::string& unit = printed.out;
    EXPECT_NE(unit.find("\nDescription=Security System Service\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos);
    EXPECT_NE(unit.find("\nExecStart=" + fs::canonical(ProgramPath("hearthd")).string() + " --root " + Root().string() + "\n"),
              std::string::npos)
        << unit;
    EXPECT_NE(unit.find("\nTimeoutStopSec=90\n"), std::string::npos);
    EXPECT_NE(unit.find("\n[Install]\nWantedBy=multi-user.target\n"), std::string::npos);
    EXPECT_EQ(unit.find("\nUser="), std::string::npos);  // root
    EXPECT_EQ(unit.find("\nRequires="), std::string::npos);
    EXPECT_EQ(unit.find("\nRefuseManualStop=yes\n") != std::string::npos, c.refuses_stop);

    const fs::path file = root_ / "hearthd.service";
    std::ofstream(file) << unit;
    Finished verified = Run("/usr/bin/systemd-analyze", {"verify", "--man=no", file.string()});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;
  }
}

// The text without its terminal colour sequences (ESC [ ... m).
std::string WithoutColours(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
      const size_t end = text.find('m', i);
      if (end != std::string::npos) {
        i = end;
        continue;
      }
    }
    plain += text[i];
  }
  return plain;
}

TEST_F(SystemdTest, ThePrintedUnitIsConfinedToAnExposureOfThreeOrLess) {
  const fs::path analyze = "/usr/bin/systemd-analyze";
  if (!fs::exists(analyze)) GTEST_SKIP() << "systemd-analyze is not installed (scripts/deps installs systemd)";
  Finished printed = Run("hearthd", {"--root", Root().string(), "--print-unit"});
  ASSERT_EQ(printed.exit_code, 0) << printed.err;
  const std::string& unit = printed.out;
  for (const std::string& line : std::vector<std::string>{
           "Documentation=man:hearthd(8) man:hearthctl(8)", "After=dbus.service", "Wants=dbus.service", "UMask=0027",
        "NoNewPrivileges=yes", "ProtectSystem=strict", "ReadWritePaths=" + Root().string(), "PrivateTmp=yes",
        "KillMode=mixed", "SystemCallFilter=@system-service", "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6"}) {
    EXPECT_NE(unit.find("\n" + line + "\n"), std::string::npos) << line << "\n" << unit;
  }
  const fs::path file = root_ / "hearthd.service";
  std::ofstream(file) << unit;
  // --threshold=30: exit 0 only at an exposure of 3.0 or below.
  Finished scored = Run(analyze.string(), {"security", "--offline=true", "--threshold=30", "--no-pager", file.string()});
  EXPECT_EQ(scored.exit_code, 0) << scored.out << scored.err;
  // systemd colours its text where it thinks a terminal reads it.
  const std::string text = WithoutColours(scored.out + scored.err);
  const size_t at = text.find("Overall exposure level for hearthd.service: ");
  ASSERT_NE(at, std::string::npos) << scored.out << scored.err;
  std::cout << text.substr(at, text.find('\n', at) - at) << "\n";
}

TEST_F(SystemdTest, ReadyComesAfterTheStartAndStoppingAtTheStop) {
  const std::string socket_path = (root_ / "notify").string();
  NotifySocket notify(socket_path);
  ::setenv("NOTIFY_SOCKET", socket_path.c_str(), 1);
  Process hearthd("hearthd", {"--root", Root().string()}, root_ / "output");
  ::unsetenv("NOTIFY_SOCKET");

  const std::string ready = notify.Next();
  EXPECT_EQ(ready, "READY=1\nSTATUS=running");
  // Sent only after the start's last line was written.
  EXPECT_NE(LogText().find("] Service.OnStart: complete, Err="), std::string::npos);
  EXPECT_EQ(LogText().find("] Service::OnStop invoked"), std::string::npos);

  hearthd.Signal(SIGTERM);
  EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=stopping");
  EXPECT_EQ(notify.Next(), "STATUS=stopped");
  Finished finished = hearthd.Wait();
  EXPECT_EQ(finished.exit_code, 0) << finished.err;
  EXPECT_NE(LogText().find("] Service::OnStop invoked"), std::string::npos);
}

}  // namespace
}  // namespace hearthd_test
