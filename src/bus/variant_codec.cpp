#include "bus/variant_codec.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "bus/bus_names.h"
#include "bus/call_error.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"

namespace bus {
namespace {

using platform::VarType;
using platform::Variant;

// Deeper than anything a setting holds; the bus itself stops at 64.
constexpr int kMaxDepth = 32;

[[noreturn]] void Refuse(const std::string& text) { throw CallError(kErrorInvalidArgs, text); }

void Check(int result, const char* what) {
  if (result < 0) throw CallError(kErrorFailed, std::string(what) + ": " + std::strerror(-result));
}

// The bus carries only UTF-8 text without NUL bytes or noncharacters in an
// "s"; sd-bus refuses anything else, and a C string would end at the first
// NUL.
bool IsBusText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
    uint32_t code = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(length) > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    // Nor the noncharacters (U+FDD0..U+FDEF, U+xFFFE, U+xFFFF): sd-bus
    // refuses them in an "s" too, so such a text travels as bytes.
    if ((code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE) return false;
    i += static_cast<size_t>(length);
  }
  return true;
}

void AppendBytes(sd_bus_message* m, const std::vector<uint8_t>& bytes) {
  Check(sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size()), "writing a byte array");
}

// The tagged form of the kinds without a D-Bus type of their own.
template <class... Payload>
void AppendTagged(sd_bus_message* m, const char* tag, const char* payload_type, Payload... payload) {
  Check(sd_bus_message_append(m, "v", "(sv)", tag, payload_type, payload...), "writing a variant");
}

void AppendVariantAt(sd_bus_message* m, const Variant& value, const ObjectNamer& namer, int depth) {
  if (depth > kMaxDepth) throw CallError(kErrorFailed, "an array nested too deep to send");
  switch (value.vt()) {
    case VarType::kEmpty: return AppendTagged(m, "Empty", "s", "");
    case VarType::kNull: return AppendTagged(m, "Null", "s", "");
    case VarType::kDate: return AppendTagged(m, "Date", "d", value.DateValue());
    case VarType::kSingle: return AppendTagged(m, "Single", "d", static_cast<double>(value.SingleValue()));
    case VarType::kCurrency: return AppendTagged(m, "Currency", "x", static_cast<int64_t>(value.CurrencyValue()));
    case VarType::kError: return AppendTagged(m, "Error", "i", static_cast<int32_t>(value.ErrorValue()));
    case VarType::kBoolean: Check(sd_bus_message_append(m, "v", "b", static_cast<int>(value.BoolValue())), "writing a variant"); return;
    case VarType::kByte: Check(sd_bus_message_append(m, "v", "y", value.ByteValue()), "writing a variant"); return;
    case VarType::kInteger: Check(sd_bus_message_append(m, "v", "n", value.IntegerValue()), "writing a variant"); return;
    case VarType::kLong: Check(sd_bus_message_append(m, "v", "i", value.LongValue()), "writing a variant"); return;
    case VarType::kDouble: Check(sd_bus_message_append(m, "v", "d", value.DoubleValue()), "writing a variant"); return;
    case VarType::kString: {
      const std::string& text = value.StringValue();
      if (IsBusText(text)) {
        Check(sd_bus_message_append(m, "v", "s", text.c_str()), "writing a variant");
        return;
      }
      // Raw bytes in a text (a byte array read back from a file is one):
      // every byte travels, as ("String", ay).
      Check(sd_bus_message_open_container(m, 'v', "(sv)"), "writing a variant");
      Check(sd_bus_message_open_container(m, 'r', "sv"), "writing a variant");
      Check(sd_bus_message_append_basic(m, 's', "String"), "writing a variant");
      Check(sd_bus_message_open_container(m, 'v', "ay"), "writing a variant");
      AppendBytes(m, std::vector<uint8_t>(text.begin(), text.end()));
      Check(sd_bus_message_close_container(m), "writing a variant");
      Check(sd_bus_message_close_container(m), "writing a variant");
      Check(sd_bus_message_close_container(m), "writing a variant");
      return;
    }
    case VarType::kObject: {
      const std::string path = namer ? namer(value.ObjectValue()) : std::string(kNothingPath);
      Check(sd_bus_message_append(m, "v", "o", path.c_str()), "writing a variant");
      return;
    }
    default: break;
  }
  if (value.IsByteArray()) {
    Check(sd_bus_message_open_container(m, 'v', "ay"), "writing a variant");
    AppendBytes(m, value.IsAllocated() ? value.Bytes() : std::vector<uint8_t>{});
    Check(sd_bus_message_close_container(m), "writing a variant");
    return;
  }
  if (value.IsArray()) {
    Check(sd_bus_message_open_container(m, 'v', "av"), "writing a variant");
    Check(sd_bus_message_open_container(m, 'a', "v"), "writing an array");
    if (value.IsAllocated()) {
      for (const Variant& item : value.Items()) AppendVariantAt(m, item, namer, depth + 1);
    }
    Check(sd_bus_message_close_container(m), "writing an array");
    Check(sd_bus_message_close_container(m), "writing a variant");
    return;
  }
  // No other type codes exist; say what arrived rather than guess.
  Refuse("a value of type " + platform::VarTypeName(value.vt()) + " cannot travel on the bus");
}

template <class T>
T ReadBasic(sd_bus_message* m, char type) {
  T value{};
  Check(sd_bus_message_read_basic(m, type, &value), "reading an argument");
  return value;
}

std::string ReadString(sd_bus_message* m, char type = 's') {
  const char* text = nullptr;
  Check(sd_bus_message_read_basic(m, type, &text), "reading an argument");
  return text ? text : "";
}

Variant ReadVariantAt(sd_bus_message* m, const ObjectFinder& finder, int depth);
Variant ReadTypedAt(sd_bus_message* m, std::string_view type, const ObjectFinder& finder, int depth);

Variant ReadTagged(sd_bus_message* m) {
  Check(sd_bus_message_enter_container(m, 'r', "sv"), "reading a tagged value");
  const std::string tag = ReadString(m);
  char type = 0;
  const char* contents = nullptr;
  Check(sd_bus_message_peek_type(m, &type, &contents), "reading a tagged value");
  const std::string payload = contents ? contents : "";
  Variant result;
  Check(sd_bus_message_enter_container(m, 'v', payload.c_str()), "reading a tagged value");
  auto want = [&](const char* expected) {
    if (payload != expected) {
      Refuse("the tagged value \"" + tag + "\" carries D-Bus type '" + payload + "', not '" + expected + "'");
    }
  };
  if (tag == "Empty" || tag == "Null") {
    // The payload is read and dropped whatever it is.
    Check(sd_bus_message_skip(m, payload.c_str()), "reading a tagged value");
    result = tag == "Empty" ? Variant() : Variant::Null();
  } else if (tag == "Date") {
    want("d");
    result = Variant::Date(ReadBasic<double>(m, 'd'));
  } else if (tag == "Single") {
    want("d");
    const double number = ReadBasic<double>(m, 'd');
    try {
      result = Variant(platform::CSng(Variant(number)));
    } catch (const platform::BasicError& error) {
      Refuse("the Single " + platform::CStr(Variant(number)) + " is out of range (" + error.description() + ")");
    }
  } else if (tag == "Currency") {
    want("x");
    result = Variant::Currency(ReadBasic<int64_t>(m, 'x'));
  } else if (tag == "Error") {
    want("i");
    result = Variant::Error(ReadBasic<int32_t>(m, 'i'));
  } else if (tag == "String") {
    want("ay");
    const void* data = nullptr;
    size_t size = 0;
    Check(sd_bus_message_read_array(m, 'y', &data, &size), "reading a tagged value");
    result = Variant(std::string(static_cast<const char*>(data), size));
  } else {
    Refuse("unknown tagged value \"" + tag + "\" (Empty, Null, Date, Single, Currency, Error or String)");
  }
  Check(sd_bus_message_exit_container(m), "reading a tagged value");
  Check(sd_bus_message_exit_container(m), "reading a tagged value");
  return result;
}

Variant ReadVariantAt(sd_bus_message* m, const ObjectFinder& finder, int depth) {
  if (depth > kMaxDepth) Refuse("a value nested too deep");
  char type = 0;
  const char* contents = nullptr;
  Check(sd_bus_message_peek_type(m, &type, &contents), "reading an argument");
  if (type != 'v') Refuse("a variant was expected");
  const std::string inner = contents ? contents : "";
  Variant result;
  if (inner == "(sv)") {
    Check(sd_bus_message_enter_container(m, 'v', inner.c_str()), "reading a variant");
    result = ReadTagged(m);
    Check(sd_bus_message_exit_container(m), "reading a variant");
    return result;
  }
  Check(sd_bus_message_enter_container(m, 'v', inner.c_str()), "reading a variant");
  result = ReadTypedAt(m, inner, finder, depth + 1);
  Check(sd_bus_message_exit_container(m), "reading a variant");
  return result;
}

}  // namespace

std::vector<std::string> SplitSignature(std::string_view signature) {
  std::vector<std::string> types;
  size_t at = 0;
  while (at < signature.size()) {
    size_t end = at;
    while (end < signature.size() && signature[end] == 'a') ++end;
    if (end < signature.size() && (signature[end] == '(' || signature[end] == '{')) {
      int level = 0;
      for (; end < signature.size(); ++end) {
        if (signature[end] == '(' || signature[end] == '{') ++level;
        if (signature[end] == ')' || signature[end] == '}') {
          if (--level == 0) break;
        }
      }
    }
    types.emplace_back(signature.substr(at, end - at + 1));
    at = end + 1;
  }
  return types;
}

void AppendVariant(sd_bus_message* message, const Variant& value, const ObjectNamer& namer) {
  AppendVariantAt(message, value, namer, 0);
}

Variant ReadVariant(sd_bus_message* message, const ObjectFinder& finder) {
  return ReadVariantAt(message, finder, 0);
}

void AppendTyped(sd_bus_message* m, std::string_view type, const Variant& value, const ObjectNamer& namer) {
  if (type == "v") return AppendVariant(m, value, namer);
  if (type == "s") {
    const std::string text = platform::CStr(value);
    if (!IsBusText(text)) {
      throw CallError(kErrorFailed, "the answer holds bytes the bus cannot carry as text (not UTF-8, or a NUL byte)");
    }
    Check(sd_bus_message_append_basic(m, 's', text.c_str()), "writing an answer");
  } else if (type == "b") {
    const int flag = platform::CBool(value) ? 1 : 0;
    Check(sd_bus_message_append_basic(m, 'b', &flag), "writing an answer");
  } else if (type == "i") {
    const int32_t number = platform::CLng(value);
    Check(sd_bus_message_append_basic(m, 'i', &number), "writing an answer");
  } else if (type == "n") {
    const int16_t number = static_cast<int16_t>(platform::CLng(value));
    Check(sd_bus_message_append_basic(m, 'n', &number), "writing an answer");
  } else if (type == "y") {
    const uint8_t number = static_cast<uint8_t>(platform::CLng(value));
    Check(sd_bus_message_append_basic(m, 'y', &number), "writing an answer");
  } else if (type == "d") {
    const double number = platform::CDbl(value);
    Check(sd_bus_message_append_basic(m, 'd', &number), "writing an answer");
  } else if (type == "o") {
    const std::string path =
        value.IsObject() && namer ? namer(value.ObjectValue()) : std::string(kNothingPath);
    Check(sd_bus_message_append_basic(m, 'o', path.c_str()), "writing an answer");
  } else if (type == "ay") {
    std::vector<uint8_t> bytes;
    if (value.IsByteArray() && value.IsAllocated()) bytes = value.Bytes();
    AppendBytes(m, bytes);
  } else if (type == "ai" || type == "as") {
    Check(sd_bus_message_open_container(m, 'a', type.substr(1).data()), "writing an answer");
    if (value.IsArray() && value.IsAllocated()) {
      for (int32_t i = value.LowerBound(); i <= value.UpperBound(); ++i) AppendTyped(m, type.substr(1), value.Element(i), namer);
    }
    Check(sd_bus_message_close_container(m), "writing an answer");
  } else {
    throw CallError(kErrorFailed, "no mapping for D-Bus type " + std::string(type));
  }
}

Variant ReadTyped(sd_bus_message* m, std::string_view type, const ObjectFinder& finder) {
  return ReadTypedAt(m, type, finder, 0);
}

namespace {

// Every container (a variant, an array) counts one level, so a client cannot
// make the reader recurse without end.
Variant ReadTypedAt(sd_bus_message* m, std::string_view type, const ObjectFinder& finder, int depth) {
  if (type == "v") return ReadVariantAt(m, finder, depth);
  if (type == "s") return Variant(ReadString(m));
  if (type == "b") return Variant(ReadBasic<int>(m, 'b') != 0);
  if (type == "i") return Variant(ReadBasic<int32_t>(m, 'i'));
  if (type == "n") return Variant(ReadBasic<int16_t>(m, 'n'));
  if (type == "y") return Variant(ReadBasic<uint8_t>(m, 'y'));
  if (type == "d") return Variant(ReadBasic<double>(m, 'd'));
  if (type == "o") {
    const std::string path = ReadString(m, 'o');
    return Variant(finder ? finder(path) : platform::com::ObjectPtr());
  }
  if (type == "ay") {
    const void* data = nullptr;
    size_t size = 0;
    Check(sd_bus_message_read_array(m, 'y', &data, &size), "reading a byte array");
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Variant::ByteArray(std::vector<uint8_t>(bytes, bytes + size));
  }
  if (type == "av" || type == "ai" || type == "as") {
    const std::string element(type.substr(1));
    Check(sd_bus_message_enter_container(m, 'a', element.c_str()), "reading an array");
    std::vector<Variant> items;
    for (;;) {
      const int at_end = sd_bus_message_at_end(m, 0);
      Check(at_end, "reading an array");
      if (at_end > 0) break;
      items.push_back(ReadTypedAt(m, element, finder, depth + 1));
    }
    Check(sd_bus_message_exit_container(m), "reading an array");
    return Variant::Array(std::move(items), 0, type == "ai" ? VarType::kLong : type == "as" ? VarType::kString : VarType::kVariant);
  }
  Refuse("a value of D-Bus type '" + std::string(type) + "' cannot be held by a Variant");
}

}  // namespace

}  // namespace bus
