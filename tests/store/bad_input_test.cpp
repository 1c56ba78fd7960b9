// Store files from anywhere: every damaged or hostile file ends in a log
// line or nothing, never a crash, a hang or a huge allocation.
#include <filesystem>

#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

// A valid store: one struct "s" then a file set with dest/f = "data".
std::string GoodStore(const std::string& base) {
  const std::string structure = I16(ST_RAW) + I32(2) + I16(0) + Array(std::string(16, '\0'), 1) + I16(0) + I32(2) +
                                Text("s") + Array("", 0) + "ok";
  const std::string files = Text(base) + I32(1) + FileRecordBytes("", "f", 0, 0, 0, 4) + "data";
  return Header(2, "tok", "", false) + Entry(3, structure, 1) + Entry(5, files, 2);
}

using BadInputTest = StoreTest;

TEST_F(BadInputTest, EachDamageEndsInItsMessage) {
  const std::string base = Path("dest") + "/";
  const std::string good = GoodStore(base);
  const size_t second_entry = 58 + 18 + 52 + 1 + 2;
  ASSERT_EQ(good.substr(second_entry, 8), std::string("\x1ASEHv002", 8));
  struct Case {
    std::string name;
    std::string bytes;
    std::string message;  // "" for none; {file} stands for the path
    int bag;              // items expected
    bool file_restored;
  };
  auto with = [&](size_t at, const std::string& bytes) {
    std::string copy = good;
    copy.replace(at, bytes.size(), bytes);
    return copy;
  };
  const std::string compressed_header = Header(1, "tok", "", true);
  const Case cases[] = {
      {"shorter than 64 bytes", good.substr(0, 63), "", 0, false},
      {"wrong file signature", with(1, "X"), "Error reading file '{file}' (invalid file header)", 0, false},
      {"header cut short", good.substr(0, 40) + std::string(30, '\0'),
       "Error reading entry 1 in file '{file}' (invalid entry header)", 0, false},
      {"broken entry chain", with(second_entry + 2, "X"),
       "Error reading entry 2 in file '{file}' (invalid entry header)", 1, false},
      {"more entries than the file holds", with(8, I32(0x7FFFFFFF)),
       "Error reading entry 3 in file '{file}' (invalid entry header)", 1, true},
      {"entry longer than the file", with(second_entry + 10, I32(0x7FFFFFF0)),
       "Error reading entry 2 in file '{file}' (invalid entry header)", 1, false},
      {"negative entry length", with(second_entry + 10, I32(-1)),
       "Error reading entry 2 in file '{file}' (invalid entry header)", 1, false},
      {"struct data past its entry", with(58 + 18 + 2, I32(0x10000000)),
       "Error reading entry 1 in file '{file}' (invalid record)", 0, true},
      {"text longer than its entry", with(second_entry + 18, I16(-2)),
       "Error reading entry 2 in file '{file}' (invalid record)", 1, false},
      {"huge file count", with(second_entry + 18 + 2 + base.size(), I32(0x7FFFFFFF)),
       "Error reading entry 2 in file '{file}' (invalid record)", 1, false},
      {"file data past the entry", with(second_entry + 18 + 2 + base.size() + 4 + 2 + 3 + 8 + 2, I32(1000)),
       "Error reading entry 2 in file '{file}' (invalid record)", 1, false},
      {"compressed, fewer than 16 bytes after the header", compressed_header + std::string(15, '\x01'),
       "Error reading file '{file}' (invalid compressed size)", 0, false},
      {"compressed, huge chunk count", compressed_header + I32(0x7FFFFFFF) + I32(4) + I32(4) + "abcd",
       "Error reading file '{file}' (invalid compressed body)", 0, false},
      {"compressed, chunk larger than the file", compressed_header + I32(1) + I32(0x7FFFFFFF) + I32(4) + "abcd",
       "Error reading file '{file}' (invalid compressed body)", 0, false},
      {"compressed, chunk that does not expand", compressed_header + I32(1) + I32(8) + I32(100) + "abcdefgh",
       "Error reading file '{file}' (invalid compressed body)", 0, false},
  };
  const std::string path = Path("bad.bin");
  Write("bad.bin", good);
  mgr_->PlayBackStoreFile(path);
  ASSERT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);
  ASSERT_EQ(Bytes("dest/f"), "data");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root_ / "dest");
    mgr_->UnprotectFile(path);
    Write("bad.bin", c.bytes);
    ClearLog();
    auto bag = mgr_->PlayBackStoreFile(path);
    EXPECT_EQ(bag->Count(), c.bag);
    EXPECT_EQ(fs::exists(root_ / "dest/f"), c.file_restored);
    // Whatever was lost, the playback says so: damage is never a success.
    EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kStoppedAtDamage);
    EXPECT_GE(mgr_->LastPlayback().damaged, 1);
    std::vector<std::string> expected;
    if (!c.message.empty()) {
      std::string message = c.message;
      message.replace(message.find("{file}"), 6, path);
      expected.push_back(message);
    }
    std::vector<std::string> log;
    for (const auto& line : Log()) {
      if (!line.starts_with("Adding playback") && !line.starts_with("Existing playback")) log.push_back(line);
    }
    EXPECT_EQ(log, expected);
    // A damaged compressed store stays as it was.
    if (c.name.starts_with("compressed")) {
      mgr_->UnprotectFile(path);
      EXPECT_EQ(Bytes("bad.bin"), c.bytes);
    }
  }
}

TEST_F(BadInputTest, AStoreInterruptedBeforeItsBodyWasCompressedStillPlaysBack) {
  const std::string base = Path("dest") + "/";
  std::string bytes = GoodStore(base);
  bytes.replace(46, 2, I16(-1));  // Compressed, but the body is still plain entries
  Write("s.bin", bytes);
  auto bag = mgr_->PlayBackStoreFile(Path("s.bin"));
  EXPECT_EQ(bag->Count(), 1);
  EXPECT_EQ(Bytes("dest/f"), "data");
}

}  // namespace
}  // namespace store::testing
