// The bytes of store files, against hand-built fixtures.
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/fs/file_times.h"
#include "platform/registry/registry.h"
#include "store/store_fixture.h"
#include "support/crypto/crypto_service.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;
namespace reg = platform::registry;

using FormatTest = StoreTest;

TEST_F(FormatTest, NewFileWithEmptyStampHasA58ByteHeaderAndNoEntries) {
  const int32_t handle = mgr_->CreateStoreFile(Path("s.bin"), "token", false);
  ASSERT_NE(handle, 0);
  const std::string bytes = Bytes("s.bin");
  EXPECT_EQ(bytes.size(), 58u);
  EXPECT_EQ(bytes, Header(0, "token", "", false));
  environment_->stamp = "stamp-1";
  ASSERT_NE(mgr_->CreateStoreFile(Path("t.bin"), std::string(40, 'k'), true), 0);
  EXPECT_EQ(Bytes("t.bin"), Header(0, std::string(32, 'k'), "stamp-1", true)) << "the token is cut to 32";
}

TEST_F(FormatTest, OneEntryOfEachWrittenTypeMatchesTheHandBuiltBytes) {
  reg::HKEY key = 0;
  ASSERT_EQ(reg::RegCreateKeyExA(reg::kHkeyLocalMachine, "SOFTWARE\\Fx", 0, nullptr, 0, reg::kKeyAllAccess, nullptr,
                                 &key, nullptr),
            0);
  const uint8_t seven[4] = {7, 0, 0, 0};
  ASSERT_EQ(reg::RegSetValueExA(key, "d", 0, reg::kRegDword, seven, 4), 0);
  reg::RegCloseKey(key);
  Write("work/f/a.txt", "hello");
  const std::string folder = Path("work/f");

  const int32_t h = mgr_->CreateStoreFile(Path("s.bin"), "tok", false);
  ASSERT_NE(h, 0);
  store::Bytes buffer{'a', 'b', 'c'};
  mgr_->StoreStruct("T", h, EK_NONE, false, false, ST_RAW, buffer);
  mgr_->BackupRegKey(static_cast<int32_t>(reg::kHkeyLocalMachine), "SOFTWARE\\Fx", false, false, h);
  mgr_->BackupFiles(folder, "", "*", false, false, h);
  mgr_->FinalizeStoreFile(h);

  const std::string struct_body = I16(ST_RAW) + I32(3) + I16(0) + Array(std::string(16, '\0'), 1) + I16(0) + I32(3) +
                                  Text("T") + Array("", 0) + "abc";
  const std::string key_body = I32(static_cast<int32_t>(reg::kHkeyLocalMachine)) + Text("SOFTWARE\\Fx") + I16(1) +
                               I32(0) + Text("") + Text("d") + I32(4) + Array("", 0) + I32(7);
  const double modified = platform::fs::FileDateTime(folder + "/a.txt");
  const std::string files_body =
      Text(folder + "/") + I32(1) + FileRecordBytes("", "a.txt", modified, 0, 0, 5) + "hello";
  const std::string expected = Header(3, "tok", "", false) + Entry(3, struct_body, 1) + Entry(1, key_body, 2) +
                               Entry(5, files_body, 3);
  EXPECT_EQ(Bytes("s.bin"), expected);
}

TEST_F(FormatTest, FileChunkCountsFollowTheLength) {
  Write("work/f/empty", "");
  Write("work/f/whole", std::string(65536, 'w'));
  Write("work/f/odd", std::string(32769, 'o'));
  const std::string folder = Path("work/f");
  const int32_t h = mgr_->CreateStoreFile(Path("s.bin"), "tok", false);
  mgr_->BackupFiles(folder, "", "*", false, false, h);
  mgr_->FinalizeStoreFile(h);
  const std::string bytes = Bytes("s.bin");
  auto expect_record = [&](const std::string& name, int32_t full, int32_t last) {
    const std::string record =
        FileRecordBytes("", name, platform::fs::FileDateTime(folder + "/" + name), 0, full, last);
    EXPECT_NE(bytes.find(record), std::string::npos) << name;
  };
  expect_record("empty", -1, 32768);
  expect_record("whole", 1, 32768);
  expect_record("odd", 1, 1);
  // Names come sorted: empty (no data), odd, whole.
  const std::string body = Text(folder + "/") + I32(3) +
                           FileRecordBytes("", "empty", platform::fs::FileDateTime(folder + "/empty"), 0, -1, 32768) +
                           FileRecordBytes("", "odd", platform::fs::FileDateTime(folder + "/odd"), 0, 1, 1) +
                           std::string(32769, 'o') +
                           FileRecordBytes("", "whole", platform::fs::FileDateTime(folder + "/whole"), 0, 1, 32768) +
                           std::string(65536, 'w');
  EXPECT_EQ(bytes, Header(1, "tok", "", false) + Entry(5, body, 1));
}

// Walks the chunk records of a compressed body.
std::vector<std::array<int32_t, 3>> ChunkRecords(const std::string& bytes, size_t header_size) {
  std::vector<std::array<int32_t, 3>> chunks;
  size_t at = header_size;
  auto long_at = [&](size_t p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[p + static_cast<size_t>(i)]);
    return static_cast<int32_t>(v);
  };
  while (at + 12 <= bytes.size()) {
    std::array<int32_t, 3> record{long_at(at), long_at(at + 4), long_at(at + 8)};
    chunks.push_back(record);
    at += 12 + static_cast<size_t>(record[1]);
  }
  EXPECT_EQ(at, bytes.size());
  return chunks;
}

TEST_F(FormatTest, BodyOfWholeChunksCompressesIntoExactlyThatManyChunks) {
  struct Case {
    int64_t body;
    std::vector<int32_t> expanded;
  };
  // A struct entry of tag "" without hash takes 18 + 52 bytes before its data.
  const Case cases[] = {
      {2 * 524288, {524288, 524288}},
      {524288 + 100, {524288, 100}},
      {524288, {524288}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const int32_t h = mgr_->CreateStoreFile(Path("c.bin"), "tok", true);
    store::Bytes buffer(static_cast<size_t>(c.body - 70), 'z');
    mgr_->StoreStruct("", h, EK_NONE, false, false, ST_RAW, buffer);
    mgr_->FinalizeStoreFile(h);
    EXPECT_NE(mgr_->GetProtectedFileHandle(Path("c.bin")), 0) << "the new file is protected again";
    const std::string bytes = Bytes("c.bin");
    EXPECT_EQ(bytes.substr(0, 58), Header(1, "tok", "", true));
    const auto chunks = ChunkRecords(bytes, 58);
    ASSERT_EQ(chunks.size(), c.expanded.size());
    for (size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i][0], static_cast<int32_t>(c.expanded.size()));
      EXPECT_EQ(chunks[i][2], c.expanded[i]);
    }
    mgr_->UnprotectFile(Path("c.bin"));
  }
}

TEST_F(FormatTest, FinalizingACompressedStoreWithoutEntriesLeavesTheHeaderOnly) {
  environment_->stamp = "6f1c2a9e-3b7d-4c55-9e21-0a8b7c6d5e4f";
  const int32_t h = mgr_->CreateStoreFile(Path("c.bin"), "tok", true);
  mgr_->FinalizeStoreFile(h);
  EXPECT_EQ(Bytes("c.bin"), Header(0, "tok", environment_->stamp, true));
  auto bag = mgr_->PlayBackStoreFile(Path("c.bin"));
  EXPECT_EQ(bag->Count(), 0);
  EXPECT_TRUE(Logged("Error reading file '" + Path("c.bin") + "' (invalid compressed size)"));
}

// The real crypto service, except that compressing fails when `fails`.
class FailingCompression : public contracts::ICryptoService {
 public:
  explicit FailingCompression(bool fails) : fails_(fails) {}
  contracts::ByteArray DeriveKey(std::string_view text) override { return real_.DeriveKey(text); }
  contracts::ByteArray Encrypt(std::span<const uint8_t> data, std::span<const uint8_t> key,
                               std::span<const uint8_t> vector) override {
    return real_.Encrypt(data, key, vector);
  }
  contracts::ByteArray Decrypt(std::span<const uint8_t> data, std::span<const uint8_t> key,
                               std::span<const uint8_t> vector) override {
    return real_.Decrypt(data, key, vector);
  }
  contracts::ByteArray Compress(std::span<const uint8_t> data) override {
    return fails_ ? contracts::ByteArray{} : real_.Compress(data);
  }
  contracts::ByteArray Decompress(std::span<const uint8_t> data, size_t expected_length) override {
    return real_.Decompress(data, expected_length);
  }
  contracts::ByteArray Md5(std::span<const uint8_t> data) override { return real_.Md5(data); }
  std::string DigestText(std::string_view text) override { return real_.DigestText(text); }
  std::string BytesToText(std::span<const uint8_t> bytes) override { return real_.BytesToText(bytes); }
  contracts::ByteArray RandomBytes(size_t count) override { return real_.RandomBytes(count); }

 private:
  bool fails_;
  support::CryptoService real_;
};

TEST_F(FormatTest, ACodecThatFailsOnAnyChunkLeavesTheStorePlainAndReadable) {
  // Finalize compresses chunks on two threads; a failure on either is the
  // same failure.
  const std::thread::id test_thread = std::this_thread::get_id();
  const struct {
    const char* name;
    std::function<bool()> fails;  // asked on the thread that gets a service
  } cases[] = {
      {"on every thread", [] { return true; }},
      {"on the helper thread only", [test_thread] { return std::this_thread::get_id() != test_thread; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    contracts::ScopedSupportOverride<contracts::CryptoService> use_fake(
        contracts::SupportFactory<contracts::CryptoService>(
            [&] { return std::make_shared<FailingCompression>(c.fails()); }));
    fs::remove_all(root_ / "src");
    Write("src/f", std::string(3 * 524288, 'q'));
    const std::string path = Path("c.bin");
    mgr_->UnprotectFile(path);
    const int32_t h = mgr_->CreateStoreFile(path, "tok", true);
    mgr_->BackupFiles(Path("src"), "", "*", false, true, h);
    ClearLog();
    mgr_->FinalizeStoreFile(h);
    EXPECT_EQ(Log(), std::vector<std::string>{"FinalizeStoreFile: compression failed, " + path + " stays uncompressed"});
    mgr_->UnprotectFile(path);
    const std::string bytes = Bytes("c.bin");
    EXPECT_EQ(bytes.substr(0, 58), Header(1, "tok", "", false));
    EXPECT_EQ(bytes.substr(58, 8), std::string("\x1ASEHv002", 8)) << "the body is the plain entries";
    mgr_->PlayBackStoreFile(path);
    EXPECT_TRUE(mgr_->LastPlayback().completed);
    EXPECT_TRUE(Bytes("src/f") == std::string(3 * 524288, 'q'));
  }
}

}  // namespace
}  // namespace store::testing
