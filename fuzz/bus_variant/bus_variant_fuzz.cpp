// Outside values as the service reads them from a D-Bus call: bus::ReadVariant
// on messages built from the input with sd-bus's own append calls, so every
// message is one a client could send (sd-bus refuses to build any other).
//
// The input is a plan: a D-Bus type (any: basic types, arrays, dictionaries,
// structs, variants, the tagged "(sv)" forms) and a value of it, put in one
// "v" (or, now and then, bare, where a "v" belongs). What must hold:
//   - the reader takes exactly the kinds the codec maps (b y n i d s o ay av
//     ai as, and the tags Empty, Null, Date, Single, Currency, Error, String
//     with their payload types), to the Variant the mapping gives, and reads
//     the whole argument;
//   - anything else is refused with InvalidArgs, never another error;
//   - a value read goes back out (AppendVariant) and reads back the same, of
//     the same kind (an "ai" or "as" array coming back as the writer's one
//     array form, "av", with the same items).
#include <systemd/sd-bus.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/bus_names.h"
#include "bus/call_error.h"
#include "bus/variant_codec.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"

namespace {

using platform::VarType;
using platform::Variant;

// How deep a plan may nest: within what the writer sends back (32).
constexpr int kMaxPlanDepth = 12;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint64_t Bits(int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(Byte()) << (8 * i);
    return value;
  }
  // Raw bytes, as many as the next byte says.
  std::string Bytes() {
    const size_t wanted = Byte() % 24;
    const size_t count = std::min(wanted, size_ - at_);
    std::string out(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Text sd-bus takes as "s": each input byte is an ASCII character or one of
// a few longer UTF-8 sequences.
std::string Text(Input& in) {
  static const char* const kWide[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD", "\xC2\x80",
                                      "\xF4\x8F\xBF\xBD"};
  std::string text;
  for (const char c : in.Bytes()) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) text.push_back(c);
    else text += kWide[byte % std::size(kWide)];
  }
  return text;
}

std::string Tag(Input& in) {
  static const char* const kTags[] = {"Empty", "Null", "Date", "Single", "Currency", "Error", "String"};
  const uint8_t pick = in.Byte();
  return pick % 8 < 7 ? kTags[pick % 8] : Text(in);
}

std::string AnySignature(Input& in, int depth);

// A complete D-Bus type; `depth` counts the containers around it. Kept well
// short of the 255 bytes a variant's signature may have: sd-bus builds some
// near that length that it then cannot read back ("Bad message"), which is
// no finding of ours.
std::string Signature(Input& in, int depth) {
  std::string signature = AnySignature(in, depth);
  return signature.size() <= 128 ? signature : "s";
}

std::string AnySignature(Input& in, int depth) {
  static const char kBasic[] = "ybnqiuxtdsog";
  const uint8_t pick = in.Byte();
  if (depth >= kMaxPlanDepth || pick % 16 < 7) return std::string(1, kBasic[in.Byte() % 12]);
  switch (pick % 16) {
    case 7: case 8: return "v";
    case 9: return "ay";
    case 10: return "av";
    case 11: return "(sv)";
    case 12: return "a" + Signature(in, depth + 1);
    case 13: return "(" + Signature(in, depth + 1) + Signature(in, depth + 1) + ")";
    case 14: return std::string("a{") + kBasic[in.Byte() % 12] + Signature(in, depth + 1) + "}";
    default: return "ai";
  }
}

// The end of the complete type starting at signature[at].
size_t TypeEnd(std::string_view signature, size_t at) {
  return at + bus::SplitSignature(signature.substr(at)).front().size();
}

struct Failed {};  // sd-bus would not build this message; the input is dropped

void Ok(int result) {
  if (result < 0) throw Failed{};
}

// The reader's answer to a value: the Variant, or nullopt for a refusal.
using Expected = std::optional<Variant>;

Expected ReadModel(std::string_view type, sd_bus_message* m, Input& in, int depth);

// Appends a value of `type` and says what the reader makes of it when it
// stands where a variant's contents are read (the reader's ReadTyped).
Expected Append(std::string_view type, sd_bus_message* m, Input& in, int depth) {
  const char code = type[0];
  switch (code) {
    case 'y': { const uint8_t v = static_cast<uint8_t>(in.Bits(1)); Ok(sd_bus_message_append_basic(m, code, &v)); return Variant(v); }
    case 'b': { const int v = in.Byte() & 1; Ok(sd_bus_message_append_basic(m, code, &v)); return Variant(v != 0); }
    case 'n': { const int16_t v = static_cast<int16_t>(in.Bits(2)); Ok(sd_bus_message_append_basic(m, code, &v)); return Variant(v); }
    case 'q': { const uint16_t v = static_cast<uint16_t>(in.Bits(2)); Ok(sd_bus_message_append_basic(m, code, &v)); return std::nullopt; }
    case 'i': { const int32_t v = static_cast<int32_t>(in.Bits(4)); Ok(sd_bus_message_append_basic(m, code, &v)); return Variant(v); }
    case 'u': { const uint32_t v = static_cast<uint32_t>(in.Bits(4)); Ok(sd_bus_message_append_basic(m, code, &v)); return std::nullopt; }
    case 'x': case 't': { const uint64_t v = in.Bits(8); Ok(sd_bus_message_append_basic(m, code, &v)); return std::nullopt; }
    case 'd': {
      const uint64_t bits = in.Bits(8);
      double v;
      std::memcpy(&v, &bits, sizeof v);
      Ok(sd_bus_message_append_basic(m, code, &v));
      return Variant(v);
    }
    case 's': { const std::string v = Text(in); Ok(sd_bus_message_append_basic(m, code, v.c_str())); return Variant(v); }
    case 'g': { Ok(sd_bus_message_append_basic(m, code, "a{sv}")); return std::nullopt; }
    case 'o': {
      std::string path = "/";
      for (const char c : in.Bytes()) path += std::string(path.back() == '/' ? "" : "/") + static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
      Ok(sd_bus_message_append_basic(m, code, path.c_str()));
      return Variant::Nothing();
    }
    case 'v': {
      const std::string inner = Signature(in, depth + 1);
      return ReadModel(inner, m, in, depth + 1);
    }
    case '(': {
      const std::string contents(type.substr(1, type.size() - 2));
      Ok(sd_bus_message_open_container(m, 'r', contents.c_str()));
      for (size_t at = 0; at < contents.size(); at = TypeEnd(contents, at)) {
        Append(std::string_view(contents).substr(at, TypeEnd(contents, at) - at), m, in, depth + 1);
      }
      Ok(sd_bus_message_close_container(m));
      return std::nullopt;
    }
    case 'a': {
      const std::string element(type.substr(1));
      if (element == "y") {
        const std::string bytes = in.Bytes();
        Ok(sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size()));
        return Variant::ByteArray(bytes);
      }
      const bool entries = element[0] == '{';
      Ok(sd_bus_message_open_container(m, 'a', element.c_str()));
      std::vector<Variant> items;
      bool readable = element == "v" || element == "i" || element == "s";
      for (int n = in.Byte() % 4; n > 0; --n) {
        if (entries) {
          const std::string pair = element.substr(1, element.size() - 2);
          Ok(sd_bus_message_open_container(m, 'e', pair.c_str()));
          Append(pair.substr(0, 1), m, in, depth + 1);
          Append(pair.substr(1), m, in, depth + 1);
          Ok(sd_bus_message_close_container(m));
          continue;
        }
        Expected item = Append(element, m, in, depth + 1);
        if (!item) readable = false;
        else items.push_back(std::move(*item));
      }
      Ok(sd_bus_message_close_container(m));
      if (!readable) return std::nullopt;
      const VarType kind = element == "i" ? VarType::kLong : element == "s" ? VarType::kString : VarType::kVariant;
      return Variant::Array(std::move(items), 0, kind);
    }
    default: std::abort();
  }
}

// The tagged form: ("Tag", v payload).
Expected AppendTagged(sd_bus_message* m, Input& in, int depth) {
  const std::string tag = Tag(in);
  Ok(sd_bus_message_open_container(m, 'r', "sv"));
  Ok(sd_bus_message_append_basic(m, 's', tag.c_str()));
  std::string payload = Signature(in, depth + 2);
  // Most payloads are the one their tag wants, so the values behind are read.
  if (in.Byte() % 4 != 0) {
    payload = tag == "Date" || tag == "Single" ? "d" : tag == "Currency" ? "x" : tag == "Error" ? "i" : tag == "String" ? "ay" : payload;
  }
  Ok(sd_bus_message_open_container(m, 'v', payload.c_str()));
  Expected value;
  if (payload == "x" || payload == "d" || payload == "i") {
    const uint64_t bits = in.Bits(payload == "i" ? 4 : 8);
    if (payload == "i") {
      const int32_t number = static_cast<int32_t>(bits);
      Ok(sd_bus_message_append_basic(m, 'i', &number));
      if (tag == "Error") value = Variant::Error(number);
    } else if (payload == "x") {
      const int64_t number = static_cast<int64_t>(bits);
      Ok(sd_bus_message_append_basic(m, 'x', &number));
      if (tag == "Currency") value = Variant::Currency(number);
    } else {
      double number;
      std::memcpy(&number, &bits, sizeof number);
      Ok(sd_bus_message_append_basic(m, 'd', &number));
      if (tag == "Date") value = Variant::Date(number);
      // A Single converts as CSng does: a number beyond a float's range is
      // refused (Overflow), never stored as an infinity.
      if (tag == "Single") {
        try {
          value = Variant(platform::CSng(Variant(number)));
        } catch (const platform::BasicError&) {
        }
      }
    }
  } else if (payload == "ay") {
    const std::string bytes = in.Bytes();
    Ok(sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size()));
    if (tag == "String") value = Variant(bytes);
  } else {
    Append(payload, m, in, depth + 2);
  }
  Ok(sd_bus_message_close_container(m));
  Ok(sd_bus_message_close_container(m));
  if (tag == "Empty") return Variant();
  if (tag == "Null") return Variant::Null();
  return value;
}

// Appends one "v" of `inner` and says what ReadVariant makes of it.
Expected ReadModel(std::string_view inner, sd_bus_message* m, Input& in, int depth) {
  const std::string contents(inner);
  Ok(sd_bus_message_open_container(m, 'v', contents.c_str()));
  Expected value = inner == "(sv)" ? AppendTagged(m, in, depth) : Append(inner, m, in, depth);
  Ok(sd_bus_message_close_container(m));
  return value;
}

// `any_array`: arrays of any element type compare by their items (the writer
// sends every array but a byte array as "av").
bool Same(const Variant& a, const Variant& b, bool any_array = false) {
  const bool arrays = a.IsArray() && b.IsArray() && !a.IsByteArray() && !b.IsByteArray();
  if (a.vt() != b.vt() && !(any_array && arrays)) return false;
  if (a.IsArray()) {
    if (a.IsAllocated() != b.IsAllocated()) return false;
    if (!a.IsAllocated()) return true;
    if (a.LowerBound() != b.LowerBound()) return false;
    if (a.IsByteArray()) return a.Bytes() == b.Bytes();
    const auto& x = a.Items();
    const auto& y = b.Items();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
      if (!Same(x[i], y[i], any_array)) return false;
    }
    return true;
  }
  switch (a.vt()) {
    case VarType::kEmpty: case VarType::kNull: return true;
    case VarType::kBoolean: return a.BoolValue() == b.BoolValue();
    case VarType::kByte: return a.ByteValue() == b.ByteValue();
    case VarType::kInteger: return a.IntegerValue() == b.IntegerValue();
    case VarType::kLong: return a.LongValue() == b.LongValue();
    case VarType::kCurrency: return a.CurrencyValue() == b.CurrencyValue();
    case VarType::kError: return a.ErrorValue() == b.ErrorValue();
    case VarType::kString: return a.StringValue() == b.StringValue();
    case VarType::kObject: return a.ObjectValue() == nullptr && b.ObjectValue() == nullptr;
    case VarType::kSingle: { const float x = a.SingleValue(), y = b.SingleValue(); return std::memcmp(&x, &y, sizeof x) == 0; }
    case VarType::kDouble: { const double x = a.DoubleValue(), y = b.DoubleValue(); return std::memcmp(&x, &y, sizeof x) == 0; }
    case VarType::kDate: { const double x = a.DateValue(), y = b.DateValue(); return std::memcmp(&x, &y, sizeof x) == 0; }
    default: return false;
  }
}

// A connection that never finishes its handshake: enough for sd-bus to make
// messages, and nothing is ever sent.
sd_bus* Bus() {
  static sd_bus* bus = [] {
    int fds[2];
    sd_bus* made = nullptr;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0 || sd_bus_new(&made) < 0 ||
        sd_bus_set_fd(made, fds[0], fds[0]) < 0 || sd_bus_start(made) < 0)
      std::abort();
    return made;
  }();
  return bus;
}

sd_bus_message* NewMessage() {
  sd_bus_message* m = nullptr;
  if (sd_bus_message_new_method_call(Bus(), &m, "com.norvale.Hearth", "/com/norvale/Hearth", "com.norvale.Hearth.Fuzz",
                                     "Take") < 0)
    std::abort();
  return m;
}

// Seals a built message and rewinds it for reading, as a received call is.
void ForReading(sd_bus_message* m) {
  static uint64_t cookie = 0;
  if (sd_bus_message_seal(m, ++cookie, 0) < 0 || sd_bus_message_rewind(m, 1) < 0) std::abort();
}

std::optional<Variant> Read(sd_bus_message* m) {
  const bus::ObjectFinder finder = [](const std::string&) { return platform::com::ObjectPtr(); };
  try {
    Variant value = bus::ReadVariant(m, finder);
    // The whole argument was read.
    if (sd_bus_message_at_end(m, 1) <= 0) __builtin_trap();
    return value;
  } catch (const bus::CallError& error) {
    if (error.name() != bus::kErrorInvalidArgs) {
      std::fprintf(stderr, "refused with %s: %s\n", error.name().c_str(), error.what());
      __builtin_trap();
    }
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  sd_bus_message* m = NewMessage();
  Expected expected;
  try {
    // Now and then a bare value where the variant belongs: always refused.
    const std::string type = Signature(in, 0);
    const bool bare = in.Byte() % 16 == 0 && type != "v";
    expected = bare ? (Append(type, m, in, 0), std::nullopt) : ReadModel(type, m, in, 0);
  } catch (const Failed&) {
    sd_bus_message_unref(m);
    return 0;
  }
  ForReading(m);
  // FUZZ_DUMP=1 prints the message built, to see what a finding sent.
  if (std::getenv("FUZZ_DUMP")) {
    sd_bus_message_dump(m, stderr, 0);
    sd_bus_message_rewind(m, 1);
  }
  const std::optional<Variant> read = Read(m);
  sd_bus_message_unref(m);
  if (read.has_value() != expected.has_value()) __builtin_trap();
  if (!read) return 0;
  if (!Same(*read, *expected)) __builtin_trap();

  // Back out and in again.
  sd_bus_message* again = NewMessage();
  try {
    bus::AppendVariant(again, *read, [](const platform::com::ObjectPtr&) { return std::string(bus::kNothingPath); });
  } catch (const bus::CallError&) {
    __builtin_trap();
  }
  ForReading(again);
  const std::optional<Variant> back = Read(again);
  sd_bus_message_unref(again);
  if (!back || !Same(*back, *read, true)) __builtin_trap();
  return 0;
}
