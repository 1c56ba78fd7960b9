#include "platform/win32/shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "platform/fs/file_numbers.h"
#include "testing/temp_root.h"

namespace platform::win32 {
namespace {

// Waits up to ten seconds for the shell to write `file` completely (it
// writes a last line "done").
std::string WaitForOutput(const std::filesystem::path& file) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string text = testing_support::ReadFileBytes(file);
    if (text.find("done\n") != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return testing_support::ReadFileBytes(file);
}

TEST(ShellTest, RunsTheCommandLineThroughShDetached) {
  testing_support::TempRoot root;
  const auto out = root / "out.txt";
  const std::string command = "echo \"$0 ran\" > '" + out.string() +
                              "'; readlink /proc/$$/fd/0 /proc/$$/fd/2 >> '" + out.string() +
                              "'; cut -d' ' -f6 /proc/$$/stat >> '" + out.string() + "'; echo done >> '" +
                              out.string() + "'";
  ASSERT_TRUE(ShellRunHidden(command));
  std::string text = WaitForOutput(out);
  EXPECT_EQ(text.rfind("sh ran\n/dev/null\n/dev/null\n", 0), 0u) << text;
  // A session of its own, not ours.
  std::string session = text.substr(std::string("sh ran\n/dev/null\n/dev/null\n").size());
  EXPECT_NE(std::stol(session), static_cast<long>(::getsid(0))) << text;
  // Not our child: nothing for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ShellTest, TheShellInheritsNoOpenFile) {
  testing_support::TempRoot root;
  const std::string held = (root / "held.dat").string();
  int number = fs::OpenFile(held, fs::OpenMode::kBinary, fs::Access::kDefault, fs::Share::kDenyAll);
  ASSERT_NE(number, 0);
  const auto out = root / "out.txt";
  ASSERT_TRUE(ShellRunHidden("ls -l /proc/$$/fd > '" + out.string() + "'; echo done >> '" + out.string() + "'; sleep 2"));
  std::string listing = WaitForOutput(out);
  EXPECT_NE(listing.find("/dev/null"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("held.dat"), std::string::npos) << listing;
  fs::CloseFile(number);
  // Were the lock inherited, the sleeping shell would still hold it.
  number = fs::OpenFile(held, fs::OpenMode::kBinary, fs::Access::kDefault, fs::Share::kDenyAll);
  EXPECT_NE(number, 0);
  fs::CloseFile(number);
}

TEST(ShellTest, AnEmptyCommandLineIsNotStarted) {
  EXPECT_FALSE(ShellRunHidden(""));
  EXPECT_FALSE(ShellRunHidden(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace platform::win32
