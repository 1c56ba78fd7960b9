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
  for (const char* script : {"postinst", "prerm", "postrm"}) {
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
}

}  // namespace
