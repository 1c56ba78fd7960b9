// The three access levels as callers meet them: a member of the group
// hearth (a user made for the test, removed after) reads and changes
// settings with hearthctl over the bus, and is refused what only root may
// do: actions that start programs, and the password check.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "private_bus.h"
#include "testing/temp_root.h"

namespace bus_test {
namespace {

constexpr char kApp[] = "/com/norvale/Hearth/Application";
constexpr char kAppIface[] = "com.norvale.Hearth.Application";
constexpr char kIo[] = "/com/norvale/Hearth/IoNotify";
constexpr char kIoIface[] = "com.norvale.Hearth.cIoNotify";

// A user whose primary group is hearth. The group is made when the machine
// lacks it and left in place (the package makes it too, and another test
// run may be using it); the user goes with the test.
class HearthMember {
 public:
  HearthMember() : name_("hearth-t" + std::to_string(::getpid())) {
    if (!Run({"groupadd", "--force", "--system", "hearth"})) return;
    if (!Run({"useradd", "--no-create-home", "--no-user-group", "--gid", "hearth", "--shell", "/usr/sbin/nologin",
              name_})) {
      return;
    }
    made_ = true;
    if (passwd* user = ::getpwnam(name_.c_str())) uid_ = user->pw_uid;
    if (group* hearth = ::getgrnam("hearth")) gid_ = hearth->gr_gid;
  }
  ~HearthMember() {
    if (made_) Run({"userdel", name_});
  }
  bool ready() const { return made_ && uid_ != 0 && gid_ != 0; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }
  // `argv` run as the member, with the groups the group database gives it.
  std::vector<std::string> As(std::vector<std::string> argv) const {
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid_),
                               "--regid=" + std::to_string(gid_), "--init-groups"});
    return argv;
  }

 private:
  static bool Run(const std::vector<std::string>& argv) {
    // The account tools take a lock on the user database; another test run
    // may hold it for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
      std::string line;
      for (const std::string& word : argv) line += "'" + word + "' ";
      if (std::system((line + ">/dev/null 2>&1").c_str()) == 0) return true;
      ::usleep(100000);
    }
    return false;
  }
  std::string name_;
  bool made_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST(HearthMemberTest, ReadsAndSetsSettingsAndIsRefusedWhatOnlyRootMayDo) {
  HearthMember member;
  ASSERT_TRUE(member.ready()) << "could not make a user in the group hearth";
  PrivateBus bus;
  // The root as the package lays it out: root:hearth, 0750.
  std::filesystem::create_directories(bus.root());
  ASSERT_EQ(::chown(bus.root().c_str(), 0, member.gid()), 0);
  ::chmod(bus.root().c_str(), 0750);
  bus.StartService();
  auto ctl = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {ProgramPath("hearthctl"), "--root", bus.root().string()});
    return bus.Run(member.As(args));
  };

  // Settings: set over the bus (the member cannot write <root>/run), read back.
  Finished set = ctl({"settings", "set", "x.member", "from a member"});
  ASSERT_EQ(set.exit_code, 0) << set.err;
  Finished get = ctl({"settings", "get", "x.member"});
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "from a member\n");
  EXPECT_EQ(bus.Settings("GetValue", {"s", "x.member"}).out, "v s \"from a member\"\n");

  // An action without programs is the member's to send.
  const std::filesystem::path formats = bus.folder() / "formats.xml";
  testing_support::WriteFileBytes(formats, "<m><action type='settimeformats' currDteFormat='d' currTmeFormat='t'/></m>");
  ::chmod(formats.c_str(), 0644);
  Finished action = ctl({"action", formats.string()});
  EXPECT_EQ(action.exit_code, 0) << action.err;

  // "runprogram" and "launchprocess" only from root, whichever door they take.
  const std::filesystem::path marker = bus.folder() / "ran";
  const std::string run = "<m><action type='runprogram'><commandline>touch " + marker.string() +
                          "</commandline></action></m>";
  const std::string launch = "<m><action type='settings'/><action type='launchprocess'><commandline>/usr/bin/touch " +
                             marker.string() + "</commandline></action></m>";
  const std::filesystem::path run_file = bus.folder() / "run.xml";
  testing_support::WriteFileBytes(run_file, run);
  ::chmod(run_file.c_str(), 0644);
  Finished refused = ctl({"action", run_file.string()});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("only root may call DoXMLAction: the message starts a program"), std::string::npos)
      << refused.err;
  // gdbus shows the refusal's reason (busctl only "Access denied").
  auto gdbus = [&](const std::string& path, const std::string& method, std::vector<std::string> args) {
    std::vector<std::string> argv = {"gdbus", "call", "--system", "--dest", "com.norvale.Hearth", "--object-path", path,
                                     "--method", method};
    argv.insert(argv.end(), args.begin(), args.end());
    return bus.Run(member.As(argv));
  };
  struct Door {
    std::string member;
    std::vector<std::string> args;
    size_t refusals;  // log lines so far: hearthctl action took DoXMLAction too
  };
  const std::vector<Door> doors = {
      {"DoXMLAction", {"\"" + launch + "\""}, 2},
      {"IoWriteXMLAction", {"\"" + run + "\""}, 1},
      {"IoWriteReportLog", {"XMLACTION", "1", "\"" + launch + "\""}, 1},
  };
  for (const Door& door : doors) {
    SCOPED_TRACE(door.member);
    Finished f = gdbus(kIo, std::string(kIoIface) + "." + door.member, door.args);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find("AccessDenied: only root may call " + door.member + ": the message starts a program"),
              std::string::npos)
        << f.err;
    EXPECT_EQ(bus.LogLines("Bus: access denied to uid " + std::to_string(member.uid()) + " calling " + kIoIface + "." +
                           door.member + " (root only: the message starts a program)")
                  .size(),
              door.refusals);
  }
  // A report log entry that is no action message stays the member's to write.
  Finished report = gdbus(kIo, std::string(kIoIface) + ".IoWriteReportLog", {"WEB", "1", "\"" + run + "\""});
  EXPECT_EQ(report.exit_code, 0) << report.err;

  Finished check = gdbus(kApp, std::string(kAppIface) + ".ValidateWindowsUserCredentials", {"root", "guess"});
  EXPECT_NE(check.exit_code, 0);
  EXPECT_NE(check.err.find("AccessDenied: only root may call ValidateWindowsUserCredentials: it checks passwords"),
            std::string::npos)
      << check.err;

  // Root sends the same message and it runs.
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_EQ(bus.Call(kIo, kIoIface, "DoXMLAction", {"s", launch}).exit_code, 0);
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) ::usleep(20000);
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(HearthMemberTest, SeesTheSecureLogsListedAndVerifiedButNotTheirEntries) {
  // The entries name users and the addresses they visited: root's alone,
  // as the log files are.
  HearthMember member;
  ASSERT_TRUE(member.ready()) << "could not make a user in the group hearth";
  PrivateBus bus;
  bus.StartService();
  ASSERT_EQ(bus.Call(kIo, kIoIface, "DoXMLAction",
                     {"s", "<m><action type='logalert'><entrytype>REPORT</entrytype><host>one.example</host>"
                           "</action></m>"})
                .exit_code,
            0);
  auto gdbus = [&](const std::string& method, std::vector<std::string> args) {
    std::vector<std::string> argv = {"gdbus", "call", "--system", "--dest", "com.norvale.Hearth", "--object-path", kIo,
                                     "--method", std::string(kIoIface) + "." + method};
    argv.insert(argv.end(), args.begin(), args.end());
    return bus.Run(member.As(argv));
  };
  Finished list = gdbus("IoGetSecureLogs", {});
  EXPECT_EQ(list.exit_code, 0) << list.err;
  EXPECT_EQ(list.out, "(1, ['report'], [1], [1], ['verifies'], [''])\n");
  Finished verify = gdbus("IoVerifySecureLog", {"report", "''"});
  EXPECT_EQ(verify.exit_code, 0) << verify.err;
  EXPECT_NE(verify.out.find("1 entries, the chain verifies"), std::string::npos) << verify.out;

  const std::string read = "<m><action type='getsecurelog' logname='REPORT' markread='false'/></m>";
  struct Door {
    std::string member;
    std::vector<std::string> args;
    std::string reason;
  };
  const std::vector<Door> doors = {
      {"IoGetSecureLogEntries", {"report"}, "the entries name users and the addresses they visited"},
      {"IoMarkSecureLogRead", {"report"}, "the entries name users and the addresses they visited"},
      {"DoXMLAction", {"\"" + read + "\""}, "the message reads secure log entries"},
      {"IoWriteXMLAction", {"\"" + read + "\""}, "the message reads secure log entries"},
  };
  for (const Door& door : doors) {
    SCOPED_TRACE(door.member);
    Finished f = gdbus(door.member, door.args);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find("AccessDenied: only root may call " + door.member + ": " + door.reason), std::string::npos)
        << f.err;
  }
  // Nothing was marked read by the refused calls; root reads the entry.
  EXPECT_EQ(bus.Call(kIo, kIoIface, "IoGetSecureLogs").out,
            "iasaiaiasas 1 1 \"report\" 1 1 1 1 1 \"verifies\" 1 \"\"\n");
  EXPECT_EQ(bus.Call(kIo, kIoIface, "IoGetSecureLogEntries", {"s", "report"}).exit_code, 0);
}

}  // namespace
}  // namespace bus_test
