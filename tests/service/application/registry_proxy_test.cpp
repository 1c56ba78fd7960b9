// The registry proxy as a client reaches it: late-bound R2 calls on
// Application, handles as numbers, by-reference arguments written back.
#include <vector>

#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/registry/hive.h"
#include "platform/registry/registry.h"
#include "service/application/application_fixture.h"

namespace service::testing {
namespace {

using platform::Variant;
namespace reg = platform::registry;

constexpr int32_t kHklm = static_cast<int32_t>(reg::kHkeyLocalMachine);

class RegistryProxyTest : public ApplicationTest {
 protected:
  Variant Call(const char* name, std::vector<Variant>& args) {
    return platform::com::CallByName(app_, name, args);
  }
  // Creates SOFTWARE\Proxy and returns its handle.
  int32_t Proxy() {
    std::vector<Variant> a{Variant(""), Variant(kHklm), Variant("SOFTWARE\\Proxy"), Variant(0), Variant(""),
                           Variant(0),  Variant(static_cast<int32_t>(reg::kKeyAllAccess)), Variant(0), Variant(0),
                           Variant(0)};
    EXPECT_EQ(Call("R2CreateKeyEx", a).LongValue(), 0);
    EXPECT_EQ(a[9].LongValue(), static_cast<int32_t>(reg::kRegCreatedNewKey));
    return a[8].LongValue();
  }
  void SetString(int32_t key, const std::string& name, const std::string& text) {
    std::vector<Variant> a{Variant(""), Variant(key), Variant(name), Variant(0), Variant(int32_t{1}), Variant(text),
                           Variant(static_cast<int32_t>(text.size() + 1))};
    ASSERT_EQ(Call("R2SetStringValueEx", a).LongValue(), 0);
  }
};

TEST_F(RegistryProxyTest, EdgeCasesAnswerAsTheRegistryFunctionDoes) {
  const int32_t key = Proxy();
  SetString(key, "text", "hello");
  std::vector<Variant> dword{Variant(""), Variant(key), Variant("n"), Variant(0), Variant(int32_t{4}),
                             Variant(int32_t{0x01020304}), Variant(int32_t{4})};
  ASSERT_EQ(Call("R2SetLongValueEx", dword).LongValue(), 0);
  std::vector<Variant> subkey{Variant(""), Variant(key), Variant("Child"), Variant(0), Variant(""), Variant(0),
                              Variant(static_cast<int32_t>(reg::kKeyAllAccess)), Variant(0), Variant(0), Variant(0)};
  ASSERT_EQ(Call("R2CreateKeyEx", subkey).LongValue(), 0);

  struct Case {
    const char* what;
    const char* member;
    std::vector<Variant> args;
    int32_t result;
    // argument index -> value expected afterwards
    std::vector<std::pair<size_t, Variant>> after;
  };
  const Case cases[] = {
      {"by-value Long with lpData 0 asks for type and size only", "R2QueryByvalLongValueEx",
       {Variant(""), Variant(key), Variant("text"), Variant(0), Variant(0), Variant(0), Variant(0)}, 0,
       {{4, Variant(int32_t{1})}, {6, Variant(int32_t{6})}}},
      {"by-value Long with any other address", "R2QueryByvalLongValueEx",
       {Variant(""), Variant(key), Variant("text"), Variant(0), Variant(0), Variant(int32_t{0x1000}), Variant(int32_t{4})},
       998, {}},
      {"a string buffer shorter than the value", "R2QueryStringValueEx",
       {Variant(""), Variant(key), Variant("text"), Variant(0), Variant(0), Variant(std::string(3, ' ')),
        Variant(int32_t{3})},
       234, {{4, Variant(int32_t{1})}, {6, Variant(int32_t{6})}}},
      {"a size beyond the string passed is the string's size", "R2QueryStringValueEx",
       {Variant(""), Variant(key), Variant("text"), Variant(0), Variant(0), Variant(std::string(2, ' ')),
        Variant(int32_t{1000})},
       234, {{6, Variant(int32_t{6})}}},
      {"a string buffer with room", "R2QueryStringValueEx",
       {Variant(""), Variant(key), Variant("text"), Variant(0), Variant(0), Variant(std::string(10, ' ')),
        Variant(int32_t{10})},
       0, {{5, Variant(std::string("hello\0    ", 10))}, {6, Variant(int32_t{6})}}},
      {"a Long value", "R2QueryLongValueEx",
       {Variant(""), Variant(key), Variant("n"), Variant(0), Variant(0), Variant(0), Variant(int32_t{4})}, 0,
       {{4, Variant(int32_t{4})}, {5, Variant(int32_t{0x01020304})}}},
      {"a missing value", "R2QueryLongValueEx",
       {Variant(""), Variant(key), Variant("none"), Variant(0), Variant(0), Variant(0), Variant(int32_t{4})}, 2, {}},
      {"the first subkey", "R2EnumKeyEx",
       {Variant(""), Variant(key), Variant(0), Variant(std::string(16, '\0')), Variant(int32_t{16}), Variant(0),
        Variant::Null(), Variant(0), Variant(0)},
       0, {{3, Variant(std::string("Child") + std::string(11, '\0'))}, {4, Variant(int32_t{5})}}},
      {"past the last subkey", "R2EnumKeyEx",
       {Variant(""), Variant(key), Variant(int32_t{1}), Variant(std::string(16, '\0')), Variant(int32_t{16}),
        Variant(0), Variant::Null(), Variant(0), Variant(0)},
       259, {}},
      {"a value into a byte array", "R2EnumByteValue",
       {Variant(""), Variant(key), Variant(0), Variant(std::string(8, '\0')), Variant(int32_t{8}), Variant(0),
        Variant(0), Variant::ByteArray(std::string(8, '\0'), 1), Variant(int32_t{8})},
       0,
       {{4, Variant(int32_t{4})}, {6, Variant(int32_t{1})}, {7, Variant::ByteArray(std::string("hello\0\0\0", 8), 1)},
        {8, Variant(int32_t{6})}}},
      {"a null string asks for no data", "R2EnumStringValue",
       {Variant(""), Variant(key), Variant(0), Variant(std::string(8, '\0')), Variant(int32_t{8}), Variant(0),
        Variant(0), Variant::Null(), Variant(0)},
       0, {{6, Variant(int32_t{1})}, {8, Variant(int32_t{6})}}},
      {"a closed handle", "R2QueryLongValueEx",
       {Variant(""), Variant(int32_t{0x7FFFFFF0}), Variant("n"), Variant(0), Variant(0), Variant(0), Variant(int32_t{4})},
       6, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Variant> args = c.args;
    EXPECT_EQ(Call(c.member, args).LongValue(), c.result);
    for (const auto& [index, value] : c.after) {
      EXPECT_EQ(platform::DebugString(args[index]), platform::DebugString(value)) << "argument " << index;
    }
  }

  std::vector<Variant> close{Variant(""), Variant(key)};
  EXPECT_EQ(Call("R2CloseKey", close).LongValue(), 0);
  std::vector<Variant> after_close{Variant(""), Variant(key), Variant("n"), Variant(0), Variant(0), Variant(0),
                                   Variant(int32_t{4})};
  EXPECT_EQ(Call("R2QueryLongValueEx", after_close).LongValue(), 6);
}

TEST_F(RegistryProxyTest, HandlesStayValidAcrossCallsUntilClosedAndKeysCanBeDeleted) {
  const int32_t key = Proxy();
  std::vector<Variant> open{Variant(""), Variant(kHklm), Variant("SOFTWARE\\Proxy"), Variant(0),
                            Variant(static_cast<int32_t>(reg::kKeyRead)), Variant(0)};
  ASSERT_EQ(Call("R2OpenKeyEx", open).LongValue(), 0);
  const int32_t reader = open[5].LongValue();
  EXPECT_NE(reader, key);
  std::vector<Variant> bytes{Variant(""), Variant(key), Variant("b"), Variant(0), Variant(int32_t{3}),
                             Variant::ByteArray(std::string("\x01\x02\x03", 3), 0), Variant(int32_t{99})};
  ASSERT_EQ(Call("R2SetByteValueEx", bytes).LongValue(), 0) << "a size past the array writes the array";
  std::vector<Variant> read{Variant(""), Variant(reader), Variant("b"), Variant(0), Variant(0),
                            Variant::ByteArray(std::string(4, '\0'), 0), Variant(int32_t{4})};
  ASSERT_EQ(Call("R2QueryByteValueEx", read).LongValue(), 0);
  EXPECT_EQ(read[5].Bytes(), (std::vector<uint8_t>{1, 2, 3, 0}));
  EXPECT_EQ(read[6].LongValue(), 3);
  std::vector<Variant> set_on_reader{Variant(""), Variant(reader), Variant("x"), Variant(0), Variant(int32_t{4}),
                                     Variant(0), Variant(int32_t{4})};
  EXPECT_EQ(Call("R2SetLongValueEx", set_on_reader).LongValue(), 5) << "a read-only handle cannot set";
  std::vector<Variant> delete_value{Variant(""), Variant(key), Variant("b")};
  EXPECT_EQ(Call("R2DeleteValue", delete_value).LongValue(), 0);
  EXPECT_EQ(Call("R2DeleteValue", delete_value).LongValue(), 2);
  std::vector<Variant> close{Variant(""), Variant(key)};
  Call("R2CloseKey", close);
  std::vector<Variant> close_reader{Variant(""), Variant(reader)};
  Call("R2CloseKey", close_reader);
  std::vector<Variant> delete_key{Variant(""), Variant(kHklm), Variant("SOFTWARE\\Proxy")};
  EXPECT_EQ(Call("R2DeleteKey", delete_key).LongValue(), 0);
  EXPECT_EQ(Call("R2DeleteKey", delete_key).LongValue(), 2);
}

// A client that opens and closes in a loop past the last handle number keeps
// being served, and the handle it holds open keeps its key.
TEST_F(RegistryProxyTest, OpeningAndClosingInALoopNeverRunsOutOfHandles) {
  const int32_t key = Proxy();
  SetString(key, "kept", "open");
  reg::SetNextHandleNumberForTesting(0x7FFFFFFC);  // the last number
  for (int i = 0; i < 8; ++i) {
    std::vector<Variant> open{Variant(""), Variant(kHklm), Variant("SOFTWARE\\Proxy"), Variant(0),
                              Variant(static_cast<int32_t>(reg::kKeyRead)), Variant(0)};
    ASSERT_EQ(Call("R2OpenKeyEx", open).LongValue(), 0) << i;
    EXPECT_NE(open[5].LongValue(), key) << i;
    std::vector<Variant> close{Variant(""), open[5]};
    ASSERT_EQ(Call("R2CloseKey", close).LongValue(), 0) << i;
  }
  std::vector<Variant> read{Variant(""), Variant(key), Variant("kept"), Variant(0), Variant(0), Variant(std::string(16, ' ')),
                            Variant(int32_t{16})};
  EXPECT_EQ(Call("R2QueryStringValueEx", read).LongValue(), 0);
  reg::SetNextHandleNumberForTesting(0x100);
}

}  // namespace
}  // namespace service::testing
