#include "support/crypto/crypto_service.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

namespace support {
namespace {

ByteArray FromHex(std::string_view hex) {
  ByteArray bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

ByteArray Bytes(std::string_view text) { return ByteArray(text.begin(), text.end()); }

const ByteArray kKey = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const ByteArray kVector = FromHex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");

TEST(CryptoServiceTest, EncryptGivesTheAesCbcBytesOfTheNulPaddedData) {
  // Reference bytes from `openssl enc -aes-256-cbc -nopad` over the text
  // followed by five NULs.
  CryptoService crypto;
  ByteArray cipher = crypto.Encrypt(Bytes("The quick brown fox jumps over the lazy dog"), kKey, kVector);
  EXPECT_EQ(ToHex(cipher),
            "84f474f35a3090a82aae847eff728ab2c6d8dc5cfb3695e68937cb12ec50264e"
            "e9f855669ba4b3874de5cc267ce9796e");
}

TEST(CryptoServiceTest, KeyMaterialOfAnotherLengthIsHashedToTheKey) {
  // The store files' fixed key is 29 bytes; SHA-256 of it is the AES key.
  CryptoService crypto;
  ByteArray cipher =
      crypto.Encrypt(Bytes("sixteen byte msg"), Bytes("0123456789ABCDEFGHIJKLMNOPQRS"), ByteArray(16, 0));
  EXPECT_EQ(ToHex(cipher), "6a50cee2530b5e083891273ffd70c267");
}

TEST(CryptoServiceTest, NulPaddingFillsTheLastBlockOnly) {
  CryptoService crypto;
  struct Case {
    std::size_t length;
    std::size_t cipher_length;
  };
  for (const Case& c : {Case{1, 16}, Case{15, 16}, Case{16, 16}, Case{17, 32}, Case{32, 32}, Case{33, 48}}) {
    SCOPED_TRACE(c.length);
    ByteArray plain(c.length);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>('a' + i % 26);
    ByteArray cipher = crypto.Encrypt(plain, kKey, kVector);
    ASSERT_EQ(cipher.size(), c.cipher_length);
    ByteArray back = crypto.Decrypt(cipher, kKey, kVector);
    ByteArray expected = plain;
    expected.resize(c.cipher_length, 0);  // the padding comes back as NULs
    EXPECT_EQ(back, expected);
  }
}

TEST(CryptoServiceTest, DerivedKeyAndVectorRoundTrip) {
  // The settings files derive both the key and the vector with DeriveKey.
  CryptoService crypto;
  ByteArray key = crypto.DeriveKey("S-1-5-21-1000KEYSF");
  ByteArray vector = crypto.DeriveKey("s-1-5-21-1000ivsfx");
  ASSERT_EQ(key.size(), 32u);
  ASSERT_EQ(vector.size(), 32u);
  std::string snapshot = "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>";
  ASSERT_EQ(snapshot.size(), 79u);
  ByteArray cipher = crypto.Encrypt(AsBytes(snapshot), key, vector);
  EXPECT_EQ(cipher.size(), 80u);
  std::string back = AsText(crypto.Decrypt(cipher, key, vector));
  EXPECT_EQ(back, snapshot + std::string(1, '\0'));
  // Another key does not give the text back.
  EXPECT_NE(AsText(crypto.Decrypt(cipher, crypto.DeriveKey("other"), vector)).substr(0, snapshot.size()), snapshot);
}

TEST(CryptoServiceTest, UnusableInputGivesAnEmptyResult) {
  CryptoService crypto;
  ByteArray data = Bytes("some data");
  ByteArray cipher = crypto.Encrypt(data, kKey, kVector);
  struct Case {
    const char* what;
    ByteArray result;
  };
  const Case cases[] = {
      {"encrypt, no data", crypto.Encrypt({}, kKey, kVector)},
      {"encrypt, no key", crypto.Encrypt(data, {}, kVector)},
      {"encrypt, no vector", crypto.Encrypt(data, kKey, {})},
      {"encrypt, 15-byte vector", crypto.Encrypt(data, kKey, ByteArray(15, 1))},
      {"encrypt, 17-byte vector", crypto.Encrypt(data, kKey, ByteArray(17, 1))},
      {"decrypt, 15-byte vector", crypto.Decrypt(cipher, kKey, ByteArray(15, 1))},
      {"decrypt, no key", crypto.Decrypt(cipher, {}, kVector)},
      {"decrypt, no data", crypto.Decrypt({}, kKey, kVector)},
      {"decrypt, part of a block", crypto.Decrypt(ByteArray(cipher.begin(), cipher.end() - 1), kKey, kVector)},
      {"decrypt, garbage", crypto.Decrypt(Bytes("not a cipher text"), kKey, kVector)},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.result.empty()) << c.what;
}

TEST(CryptoServiceTest, Md5OfKnownVectors) {
  CryptoService crypto;
  EXPECT_EQ(ToHex(crypto.Md5({})), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ToHex(crypto.Md5(Bytes("abc"))), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(crypto.Md5(Bytes("abc")).size(), 16u);
}

TEST(CryptoServiceTest, DeriveKeyIsSha256OfTheText) {
  CryptoService crypto;
  EXPECT_EQ(ToHex(crypto.DeriveKey("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(ToHex(crypto.DeriveKey("hearth")), "fe586323e9793abc1c207b55b40f0dd301c9a006761d8f7d5ee5feeeb8082d86");
}

TEST(CryptoServiceTest, DigestTextIsLowerCaseHexMd5) {
  CryptoService crypto;
  EXPECT_EQ(crypto.DigestText(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(crypto.DigestText("abc"), "900150983cd24fb0d6963f7d28e17f72");
  // The system collection's settings file base: the digest of the salt alone.
  EXPECT_EQ(crypto.DigestText("+%&=*"), "63b5328fe3c4881f0e16ce0164cceae3");
}

TEST(CryptoServiceTest, BytesToTextIsUpperCaseHex) {
  CryptoService crypto;
  EXPECT_EQ(crypto.BytesToText(ByteArray{0x00, 0x0f, 0xa5, 0xfe}), "000FA5FE");
  EXPECT_EQ(crypto.BytesToText({}), "");
  ByteArray random_like(24, 0xab);
  EXPECT_EQ(crypto.BytesToText(random_like).size(), 48u);
}

TEST(CryptoServiceTest, CompressRoundTrip) {
  CryptoService crypto;
  ByteArray data;
  for (int i = 0; i < 600000; ++i) data.push_back(static_cast<std::uint8_t>((i * 7) % 251));
  for (std::size_t size : {std::size_t{1}, std::size_t{100}, std::size_t{524288}, data.size()}) {
    SCOPED_TRACE(size);
    std::span<const std::uint8_t> part(data.data(), size);
    ByteArray packed = crypto.Compress(part);
    ASSERT_FALSE(packed.empty());
    EXPECT_EQ(crypto.Decompress(packed, size), ByteArray(part.begin(), part.end()));
  }
}

TEST(CryptoServiceTest, DecompressFailsOnAnythingButTheExactExpectedLength) {
  CryptoService crypto;
  ByteArray data(5000, 'x');
  ByteArray packed = crypto.Compress(data);
  ASSERT_FALSE(packed.empty());
  struct Case {
    const char* what;
    ByteArray input;
    std::size_t expected;
  };
  const Case cases[] = {
      {"expected shorter", packed, 4999},
      {"expected longer", packed, 5001},
      {"expected zero", packed, 0},
      {"expected beyond the limit", packed, CryptoService::kMaxExpandedSize + 1},
      {"garbage", Bytes("this is not a zstd frame at all"), 5000},
      {"truncated", ByteArray(packed.begin(), packed.end() - 3), 5000},
      {"empty", {}, 5000},
  };
  for (const Case& c : cases) EXPECT_TRUE(crypto.Decompress(c.input, c.expected).empty()) << c.what;
}

TEST(CryptoServiceTest, RandomBytes) {
  CryptoService crypto;
  ByteArray a = crypto.RandomBytes(16);
  ByteArray b = crypto.RandomBytes(16);
  EXPECT_EQ(a.size(), 16u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(crypto.RandomBytes(0).empty());
}

class FakeCrypto : public contracts::ICryptoService {
 public:
  ByteArray DeriveKey(std::string_view) override { return {1}; }
  ByteArray Encrypt(std::span<const std::uint8_t>, std::span<const std::uint8_t>,
                    std::span<const std::uint8_t>) override {
    return {};
  }
  ByteArray Decrypt(std::span<const std::uint8_t>, std::span<const std::uint8_t>,
                    std::span<const std::uint8_t>) override {
    return {};
  }
  ByteArray Compress(std::span<const std::uint8_t>) override { return {}; }
  ByteArray Decompress(std::span<const std::uint8_t>, std::size_t) override { return {}; }
  ByteArray Md5(std::span<const std::uint8_t>) override { return {}; }
  std::string DigestText(std::string_view) override { return "fake"; }
  std::string BytesToText(std::span<const std::uint8_t>) override { return {}; }
  ByteArray RandomBytes(std::size_t) override { return {}; }
};

TEST(ThreadCryptoServiceTest, OneObjectPerThreadCreatedOnFirstUse) {
  auto here = ThreadCryptoService();
  EXPECT_EQ(ThreadCryptoService(), here);
  auto there = std::async(std::launch::async, [] { return ThreadCryptoService(); }).get();
  EXPECT_NE(there, here);
  EXPECT_EQ(here->DigestText("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(ThreadCryptoServiceTest, AFakeReplacesTheThreadsServiceUntilReset) {
  SetThreadCryptoService(std::make_shared<FakeCrypto>());
  EXPECT_EQ(ThreadCryptoService()->DigestText("abc"), "fake");
  auto other = std::async(std::launch::async, [] { return ThreadCryptoService()->DigestText("abc"); }).get();
  EXPECT_EQ(other, "900150983cd24fb0d6963f7d28e17f72");
  SetThreadCryptoService(nullptr);
  EXPECT_EQ(ThreadCryptoService()->DigestText("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace support
