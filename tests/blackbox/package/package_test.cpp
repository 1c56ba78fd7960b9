// The Debian package, made by CPack from this build's own programs (the test
// build's binaries: no second build, so the test stays quick), unpacked with
// dpkg-deb and checked file by file; lintian must find no error. The
// maintainer scripts run against stand-ins for the system's tools.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "testing/temp_root.h"

namespace {

namespace fs = std::filesystem;

struct Output {
  int status = -1;
  std::string text;  // standard output and error
};

Output Shell(const std::string& command) {
  Output output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.text.append(buffer, n);
  const int status = ::pclose(pipe);
  output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

fs::path BuildDir() { return fs::path(std::getenv("HEARTH_BIN_DIR")).parent_path(); }
fs::path SourceDir() { return fs::path(HEARTH_SOURCE_TREE); }

// The package, made once (CPack takes a while) and unpacked.
class Package {
 public:
  Package() {
    const Output made = Shell("cd " + Quote(scratch_.path()) + " && cpack -G DEB --config " +
                              Quote(BuildDir() / "CPackConfig.cmake") + " -B " + Quote(scratch_.path() / "out"));
    log_ = made.text;
    if (made.status != 0) return;
    for (const auto& entry : fs::directory_iterator(scratch_.path() / "out")) {
      if (entry.path().extension() == ".deb") deb_ = entry.path();
    }
    if (deb_.empty()) return;
    unpacked_ = Shell("dpkg-deb -x " + Quote(deb_) + " " + Quote(Tree())).status == 0 &&
                Shell("dpkg-deb -e " + Quote(deb_) + " " + Quote(Control())).status == 0;
  }
  bool ok() const { return unpacked_; }
  const std::string& log() const { return log_; }
  const fs::path& deb() const { return deb_; }
  fs::path Tree() const { return scratch_.path() / "tree"; }
  fs::path Control() const { return scratch_.path() / "control"; }
  fs::path Scratch() const { return scratch_.path(); }

 private:
  testing_support::TempRoot scratch_;
  fs::path deb_;
  std::string log_;
  bool unpacked_ = false;
};

void CheckFiles(const Package& package) {
  for (const char* program : {"usr/sbin/hearthd", "usr/bin/hearthctl"}) {
    struct stat info {};
    ASSERT_EQ(::stat((package.Tree() / program).c_str(), &info), 0) << program;
    EXPECT_EQ(info.st_mode & 0777, 0755u) << program;
  }
  for (const char* file : {"usr/share/doc/hearth/copyright", "usr/share/doc/hearth/changelog.gz",
                           "usr/share/man/man8/hearthd.8.gz", "usr/share/man/man8/hearthctl.8.gz",
                           "usr/share/dbus-1/system.d/com.norvale.Hearth.conf", "usr/include/hearth/hearth/plugin.h"}) {
    EXPECT_TRUE(fs::is_regular_file(package.Tree() / file)) << file;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(package.Tree() / "usr/share/hearth/branding.xml"),
            testing_support::ReadFileBytes(SourceDir() / "config/branding.xml"));

  // The unit is the one hearthd prints on a fresh root, starting the
  // installed program on the default root.
  const std::string unit = testing_support::ReadFileBytes(package.Tree() / "lib/systemd/system/hearthd.service");
  const Output printed = Shell("HEARTH_ROOT=" + Quote(package.Scratch() / "fresh") + " " +
                               Quote(BuildDir() / "bin/hearthd") + " --print-unit --exec /usr/sbin/hearthd");
  ASSERT_EQ(printed.status, 0) << printed.text;
  EXPECT_EQ(unit, printed.text);
  EXPECT_NE(unit.find("\nExecStart=/usr/sbin/hearthd\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos);
  EXPECT_NE(unit.find("\nRefuseManualStop=yes\n"), std::string::npos);
  EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos);

  const std::string control = testing_support::ReadFileBytes(package.Control() / "control");
  EXPECT_NE(control.find("Package: hearth\n"), std::string::npos) << control;
  EXPECT_NE(control.find("Version: 2.1.7\n"), std::string::npos) << control;
  EXPECT_NE(control.find("Section: admin\n"), std::string::npos) << control;
  EXPECT_NE(control.find("adduser"), std::string::npos) << control;
  for (const char* script : {"preinst", "postinst", "prerm", "postrm"}) {
    struct stat info {};
    ASSERT_EQ(::stat((package.Control() / script).c_str(), &info), 0) << script;
    EXPECT_EQ(info.st_mode & 0777, 0755u) << script;
  }
}

void CheckLintian(const Package& package) {
  if (Shell("command -v lintian").status != 0) {
    std::cerr << "lintian is not installed (scripts/deps installs it): not checked\n";
    return;
  }
  const Output lint = Shell("lintian --fail-on error --tag-display-limit 0 " + Quote(package.deb()));
  EXPECT_EQ(lint.status, 0) << lint.text;
  EXPECT_EQ(lint.text.find("\nE: "), std::string::npos) << lint.text;
  EXPECT_NE(lint.text.rfind("E: ", 0), 0u) << lint.text;
}

// The maintainer scripts in a container: the system's tools are stand-ins
// that record their calls, and the files go below DPKG_ROOT.
void CheckContainerInstall(const Package& package) {
  const fs::path tools = package.Scratch() / "tools";
  const fs::path calls = package.Scratch() / "calls";
  const fs::path target = package.Scratch() / "target";
  fs::create_directories(tools);
  fs::create_directories(target);
  auto stub = [&](const std::string& name, const std::string& body) {
    const fs::path file = tools / name;
    std::ofstream(file) << "#!/bin/sh\necho \"" << name << " $*\" >> " << Quote(calls) << "\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all);
  };
  stub("getent", "exit 2");  // no hearth group yet
  stub("addgroup", "exit 0");
  stub("chown", "exit 0");
  stub("deb-systemd-helper", "exit 0");
  stub("deb-systemd-invoke", "exit 0");
  stub("systemctl", "exit 0");
  stub("systemd-detect-virt", "case \"$*\" in *--container*) exit 0;; esac; exit 1");
  const Output ran = Shell("PATH=" + Quote(tools) + ":/usr/bin:/bin DPKG_ROOT=" + Quote(target) + " " +
                           Quote(package.Control() / "postinst") + " configure");
  ASSERT_EQ(ran.status, 0) << ran.text;
  const std::string log = testing_support::ReadFileBytes(calls);
  EXPECT_NE(log.find("addgroup --system --quiet hearth\n"), std::string::npos) << log;
  EXPECT_NE(log.find("chown root:hearth " + (target / "var/lib/hearth").string() + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("deb-systemd-helper enable hearthd.service\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("deb-systemd-invoke start"), std::string::npos) << log;
  EXPECT_EQ(log.find("systemctl"), std::string::npos) << log;
  struct stat info {};
  ASSERT_EQ(::stat((target / "var/lib/hearth").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0750u);
}

// The maintainer scripts on a machine that runs systemd (a mount namespace
// with its own /run/systemd/system), the system's tools standing in:
// deb-systemd-helper answers was-enabled as told, systemctl says the service
// is active until it was killed.
class MaintainerScripts {
 public:
  explicit MaintainerScripts(const Package& package) : package_(package), dir_(package.Scratch() / "machine") {
    fs::create_directories(dir_ / "tools");
    Stub("getent", "[ -f " + Quote(dir_ / "group") + " ]");
    Stub("groupadd", "touch " + Quote(dir_ / "group"));
    Stub("addgroup", "touch " + Quote(dir_ / "group"));
    Stub("chown", "exit 0");
    Stub("deb-systemd-helper", "case \"$*\" in *was-enabled*) [ -f " + Quote(dir_ / "enabled") + " ];; esac");
    Stub("deb-systemd-invoke", "exit 0");
    Stub("systemctl",
         "case \"$*\" in *is-active*) [ ! -f " + Quote(dir_ / "killed") + " ];; kill*) touch " +
             Quote(dir_ / "killed") + ";; esac");
    Stub("systemd-detect-virt", "exit 1");
  }
  void SetGroupExists(bool exists) { Mark("group", exists); }
  void SetWasEnabled(bool enabled) { Mark("enabled", enabled); }
  // Runs `script` with `args`; the calls the tools saw.
  std::string Run(const std::string& script, const std::string& args) {
    std::error_code ignored;
    fs::remove(dir_ / "calls", ignored);
    const Output ran = Shell("unshare --mount --propagation private sh -c 'mount -t tmpfs tmpfs /run && mount -t tmpfs tmpfs /var/lib && "
                             "mkdir -p /run/systemd/system && PATH=" + Quote(dir_ / "tools") + ":/usr/bin:/bin " +
                             Quote(package_.Control() / script) + " " + args + "'");
    EXPECT_EQ(ran.status, 0) << script << " " << args << ": " << ran.text;
    return fs::exists(dir_ / "calls") ? testing_support::ReadFileBytes(dir_ / "calls") : std::string();
  }

 private:
  void Stub(const std::string& name, const std::string& body) {
    const fs::path file = dir_ / "tools" / name;
    std::ofstream(file) << "#!/bin/sh\necho \"" << name << " $*\" >> " << Quote(dir_ / "calls") << "\n" << body
                        << "\n";
    fs::permissions(file, fs::perms::owner_all);
  }
  void Mark(const std::string& name, bool on) {
    std::error_code ignored;
    if (on) {
      std::ofstream(dir_ / name) << "";
    } else {
      fs::remove(dir_ / name, ignored);
    }
  }
  const Package& package_;
  fs::path dir_;
};

void CheckGroupFirstAndEnableOnce(const Package& package) {
  MaintainerScripts machine(package);
  // The group exists before the policy file is unpacked.
  machine.SetGroupExists(false);
  std::string calls = machine.Run("preinst", "install");
  EXPECT_NE(calls.find("groupadd --system hearth\n"), std::string::npos) << calls;
  calls = machine.Run("preinst", "upgrade 2.1.6");
  EXPECT_EQ(calls.find("groupadd"), std::string::npos) << calls;

  // A first install enables and starts the unit.
  machine.SetWasEnabled(true);
  calls = machine.Run("postinst", "configure");
  EXPECT_EQ(calls.find("addgroup"), std::string::npos) << calls;
  EXPECT_NE(calls.find("deb-systemd-helper enable hearthd.service\n"), std::string::npos) << calls;
  EXPECT_NE(calls.find("deb-systemd-invoke start hearthd.service\n"), std::string::npos) << calls;

  // An upgrade after "systemctl disable" keeps it disabled.
  machine.SetWasEnabled(false);
  calls = machine.Run("postinst", "configure 2.1.6");
  EXPECT_EQ(calls.find("deb-systemd-helper enable"), std::string::npos) << calls;
  EXPECT_NE(calls.find("deb-systemd-helper update-state hearthd.service\n"), std::string::npos) << calls;
}

void CheckFailedUpgrade(const Package& package) {
  MaintainerScripts machine(package);
  machine.SetGroupExists(true);
  machine.SetWasEnabled(true);
  // The old prerm stops hearthd alone; the new package's preinst fails; dpkg
  // then asks the old postinst to undo: the old service runs again.
  std::string calls = machine.Run("prerm", "upgrade 2.1.8");
  EXPECT_NE(calls.find("systemctl kill --kill-whom=main --signal=SIGTERM hearthd.service\n"), std::string::npos)
      << calls;
  calls = machine.Run("postinst", "abort-upgrade 2.1.8");
  EXPECT_NE(calls.find("deb-systemd-helper enable hearthd.service\n"), std::string::npos) << calls;
  EXPECT_NE(calls.find("deb-systemd-invoke start hearthd.service\n"), std::string::npos) << calls;
  for (const char* action : {"abort-remove", "abort-deconfigure in-favour other 1.0"}) {
    SCOPED_TRACE(action);
    calls = machine.Run("postinst", action);
    EXPECT_NE(calls.find("deb-systemd-invoke start hearthd.service\n"), std::string::npos) << calls;
  }
}

TEST(PackageTest, TheDebianPackage) {
  ASSERT_NE(std::getenv("HEARTH_BIN_DIR"), nullptr);
  const Package package;
  ASSERT_TRUE(package.ok()) << package.log();
  {
    SCOPED_TRACE("its files, unit and control data");
    CheckFiles(package);
  }
  {
    SCOPED_TRACE("lintian");
    CheckLintian(package);
  }
  {
    SCOPED_TRACE("installed in a container");
    CheckContainerInstall(package);
  }
  {
    SCOPED_TRACE("the group before the policy file, the unit enabled once");
    CheckGroupFirstAndEnableOnce(package);
  }
  {
    SCOPED_TRACE("a failed upgrade");
    CheckFailedUpgrade(package);
  }
}

}  // namespace
