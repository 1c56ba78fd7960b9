#include "support/sock/dotted_address.h"

#include <gtest/gtest.h>

#include "support/sock/host_entry.h"
#include "platform/basic/err.h"

namespace support {
namespace {

TEST(DottedAddress, ReadsFourDecimalParts) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"1.2.3.4", 0x01020304u},  {"0.0.0.0", 0u},          {"127.0.0.1", 0x7f000001u},
      {"10.0.0.255", 0x0a0000ffu}, {"255.255.255.254", 0xfffffffeu}, {"192.168.100.9", 0xc0a86409u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(TextToAddress(c.text)), c.value) << c.text;
    EXPECT_EQ(AddressToText(static_cast<int32_t>(c.value)), c.text);
  }
}

TEST(DottedAddress, RefusesEverythingElse) {
  for (const char* text : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "1.2.3.4.", ".1.2.3.4",
                           " 1.2.3.4", "1.2.3.4 ", "1..2.3", "a.b.c.d", "localhost", "0x1.2.3.4",
                           "+1.2.3.4", "-1.2.3.4", "1.2.3.1000", "010.0.0.1", "1.2.3.04", "1,2,3,4",
                           "255.255.255.255"}) {
    EXPECT_EQ(TextToAddress(text), kInvalidAddress) << '"' << text << '"';
  }
}

TEST(DottedAddress, BroadcastPrintsThoughItCannotBeRead) {
  EXPECT_EQ(AddressToText(-1), "255.255.255.255");
}

TEST(HostEntry, AddressesAreOneBased) {
  HostEntry entry("two.test", {0x0a000001, 0x0a000002});
  EXPECT_EQ(entry.Name(), "two.test");
  ASSERT_EQ(entry.AddressCount(), 2);
  EXPECT_EQ(entry.Address(1), 0x0a000001);
  EXPECT_EQ(entry.Address(2), 0x0a000002);
  for (int32_t bad : {0, 3, -1}) {
    try {
      entry.Address(bad);
      ADD_FAILURE() << bad;
    } catch (const platform::BasicError& e) {
      EXPECT_EQ(e.number(), platform::kErrSubscript);
    }
  }
}

}  // namespace
}  // namespace support
