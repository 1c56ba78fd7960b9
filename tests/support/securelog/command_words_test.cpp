#include "support/launcher/command_words.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/basic/err.h"
#include "support/launcher/launcher.h"
#include "testing/temp_root.h"

namespace support {
namespace {

TEST(CommandWordsTest, CutsLikeAShellWithoutExpanding) {
  using Words = std::vector<std::string>;
  struct Case {
    const char* line;
    std::optional<Words> words;
  } cases[] = {
      {"prog a  b", Words{"prog", "a", "b"}},
      {"  ", Words{}},
      {"'/opt/my app/run' --x=\"a b\"", Words{"/opt/my app/run", "--x=a b"}},
      {"echo $HOME `id` ;rm", Words{"echo", "$HOME", "`id`", ";rm"}},
      {R"(a\ b "q\"d" 'it''s')", Words{"a b", "q\"d", "its"}},
      {"unclosed 'quote", std::nullopt},
      {"trailing\\", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(CommandWords(c.line), c.words);
  }
}

TEST(LauncherTest, StartsTheProgramDetachedWithoutAShell) {
  testing_support::TempRoot root;
  const std::filesystem::path marker = root / "touched; echo hacked";
  Launcher launcher;
  // The ';' reaches touch as part of its argument: no shell splits it.
  launcher.Launch("touch '" + marker.string() + "'");
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(LauncherTest, AProgramThatIsNotThereIsAnError) {
  Launcher launcher;
  try {
    launcher.Launch("/nonexistent/program arg");
    FAIL() << "no error";
  } catch (const platform::BasicError& error) {
    EXPECT_EQ(error.number(), platform::kErrFileNotFound);
    EXPECT_NE(error.description().find("/nonexistent/program"), std::string::npos);
  }
  EXPECT_THROW(launcher.Launch(""), platform::BasicError);
  EXPECT_THROW(launcher.Launch("'open"), platform::BasicError);
}

}  // namespace
}  // namespace support
