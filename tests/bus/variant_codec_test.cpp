// Variants through D-Bus messages and back, on messages sd-bus builds and
// seals as it does a call; no bus is needed for that.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <string>

#include "bus/call_error.h"
#include "bus/variant_codec.h"
#include "platform/basic/variant.h"

namespace bus_test {
namespace {

// A connection that never finishes its handshake: enough for sd-bus to make
// messages. Nothing is sent.
class CodecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_), 0);
    ASSERT_GE(sd_bus_new(&bus_), 0);
    ASSERT_GE(sd_bus_set_fd(bus_, fds_[0], fds_[0]), 0);
    ASSERT_GE(sd_bus_start(bus_), 0);
  }
  void TearDown() override {
    sd_bus_message_unref(message_);
    sd_bus_close_unref(bus_);
    ::close(fds_[1]);
  }
  // A call holding `value` as one "v", sealed and rewound for reading.
  sd_bus_message* Carrying(const platform::Variant& value) {
    sd_bus_message_unref(message_);
    message_ = nullptr;
    EXPECT_GE(sd_bus_message_new_method_call(bus_, &message_, "com.norvale.Hearth", "/", "com.norvale.Test", "M"), 0);
    bus::AppendVariant(message_, value, {});
    EXPECT_GE(sd_bus_message_seal(message_, ++cookie_, 0), 0);
    EXPECT_GE(sd_bus_message_rewind(message_, 1), 0);
    return message_;
  }
  std::string WireType(sd_bus_message* message) {
    char type = 0;
    const char* contents = nullptr;
    EXPECT_GE(sd_bus_message_peek_type(message, &type, &contents), 0);
    return contents ? contents : "";
  }

  int fds_[2] = {-1, -1};
  sd_bus* bus_ = nullptr;
  sd_bus_message* message_ = nullptr;
  uint64_t cookie_ = 0;
};

// Text sd-bus refuses in an "s" (noncharacters among it) travels as
// ("String", ay) and comes back the same; other UTF-8 text travels as "s".
TEST_F(CodecTest, EveryTextComesBackAsTheTextSent) {
  const struct {
    std::string text;
    const char* wire;
  } cases[] = {
      {"plain", "s"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "s"},  // é € 😀
      {"a\xEF\xBF\xBE" "b", "(sv)"},                   // U+FFFE
      {"\xEF\xBF\xBF", "(sv)"},                        // U+FFFF
      {"\xEF\xB7\x90", "(sv)"},                        // U+FDD0
      {"\xF0\x9F\xBF\xBE", "(sv)"},                    // U+1FFFE
      {std::string("nul\0inside", 10), "(sv)"},
      {"\xFF", "(sv)"},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.text);
    sd_bus_message* message = nullptr;
    ASSERT_NO_THROW(message = Carrying(platform::Variant(item.text)));
    EXPECT_EQ(WireType(message), item.wire);
    const platform::Variant back = bus::ReadVariant(message, {});
    ASSERT_TRUE(back.IsString());
    EXPECT_EQ(back.StringValue(), item.text);
  }
}

}  // namespace
}  // namespace bus_test
