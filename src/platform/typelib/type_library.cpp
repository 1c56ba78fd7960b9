#include "platform/typelib/type_library.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace platform::typelib {
namespace {

constexpr size_t kHeaderSize = 32;
constexpr size_t kTrailerSize = 4;

void PutU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutName(std::string& out, const std::string& name) {
  PutU16(out, static_cast<uint16_t>(name.size()));
  out += name;
}

// Reads the file front to back; every read checks that the bytes are there.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool U16(uint16_t* value) {
    if (left() < 2) return false;
    *value = static_cast<uint16_t>(Byte(0) | (Byte(1) << 8));
    at_ += 2;
    return true;
  }
  bool U32(uint32_t* value) {
    if (left() < 4) return false;
    *value = Byte(0) | (Byte(1) << 8) | (Byte(2) << 16) | (static_cast<uint32_t>(Byte(3)) << 24);
    at_ += 4;
    return true;
  }
  bool Bytes(size_t count, std::string_view* out) {
    if (left() < count) return false;
    *out = bytes_.substr(at_, count);
    at_ += count;
    return true;
  }
  size_t left() const { return bytes_.size() - at_; }

 private:
  uint32_t Byte(size_t offset) const { return static_cast<uint8_t>(bytes_[at_ + offset]); }
  std::string_view bytes_;
  size_t at_ = 0;
};

// Names are identifiers of printable ASCII: they become registry values and
// log text.
bool ReadName(Reader& reader, std::string* name, std::string* reason, const char* what) {
  uint16_t length = 0;
  std::string_view text;
  if (!reader.U16(&length) || !reader.Bytes(length, &text)) {
    *reason = std::string("truncated in the ") + what;
    return false;
  }
  if (length == 0 || length > kMaxTypeName) {
    *reason = std::string("the ") + what + " is empty or longer than 255 bytes";
    return false;
  }
  for (char c : text) {
    if (c < 0x21 || c > 0x7E) {
      *reason = std::string("the ") + what + " holds a byte that is not printable ASCII";
      return false;
    }
  }
  name->assign(text);
  return true;
}

Guid ToGuid(std::string_view bytes) {
  Guid guid{};
  std::memcpy(guid.data(), bytes.data(), guid.size());
  return guid;
}

}  // namespace

std::string GuidText(const Guid& g) {
  const uint32_t data1 = g[0] | (g[1] << 8) | (g[2] << 16) | (static_cast<uint32_t>(g[3]) << 24);
  const unsigned data2 = g[4] | (g[5] << 8);
  const unsigned data3 = g[6] | (g[7] << 8);
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3, g[8],
                g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  return text;
}

std::optional<Guid> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  std::string hex;
  for (size_t at = 1; at + 1 < text.size(); ++at) {
    const char c = text[at];
    const bool dash_place = at == 9 || at == 14 || at == 19 || at == 24;
    if (dash_place != (c == '-')) return std::nullopt;
    if (dash_place) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    hex.push_back(c);
  }
  auto number = [&](size_t from, size_t digits) {
    return static_cast<uint32_t>(std::stoul(hex.substr(from, digits), nullptr, 16));
  };
  Guid g{};
  const uint32_t data1 = number(0, 8);
  const uint32_t data2 = number(8, 4);
  const uint32_t data3 = number(12, 4);
  for (int i = 0; i < 4; ++i) g[i] = static_cast<uint8_t>(data1 >> (8 * i));
  g[4] = static_cast<uint8_t>(data2);
  g[5] = static_cast<uint8_t>(data2 >> 8);
  g[6] = static_cast<uint8_t>(data3);
  g[7] = static_cast<uint8_t>(data3 >> 8);
  for (int i = 0; i < 8; ++i) g[8 + i] = static_cast<uint8_t>(number(16 + 2 * i, 2));
  return g;
}

uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char c : bytes) crc = table[(crc ^ static_cast<uint8_t>(c)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::string EncodeTypeLibrary(const TypeLibrary& library) {
  std::string out(kTypeLibraryMagic, sizeof kTypeLibraryMagic);
  PutU16(out, kTypeLibraryFormat);
  PutU16(out, library.major);
  PutU16(out, library.minor);
  PutU16(out, static_cast<uint16_t>(library.interfaces.size()));
  PutU32(out, library.lcid);
  out.append(reinterpret_cast<const char*>(library.libid.data()), library.libid.size());
  PutName(out, library.name);
  for (const TypeInterface& item : library.interfaces) {
    out.append(reinterpret_cast<const char*>(item.iid.data()), item.iid.size());
    PutName(out, item.name);
  }
  PutU32(out, Crc32(out));
  return out;
}

bool DecodeTypeLibrary(std::string_view bytes, TypeLibrary* library, std::string* reason) {
  if (bytes.empty()) {
    *reason = "the file is empty";
    return false;
  }
  if (bytes.size() < sizeof kTypeLibraryMagic ||
      std::memcmp(bytes.data(), kTypeLibraryMagic, sizeof kTypeLibraryMagic) != 0) {
    *reason = "not a type library (no HTLB signature)";
    return false;
  }
  if (bytes.size() < kHeaderSize + kTrailerSize) {
    *reason = "truncated in the header";
    return false;
  }
  Reader reader(bytes.substr(sizeof kTypeLibraryMagic));
  uint16_t format = 0;
  uint16_t count = 0;
  TypeLibrary result;
  std::string_view libid;
  reader.U16(&format);
  reader.U16(&result.major);
  reader.U16(&result.minor);
  reader.U16(&count);
  reader.U32(&result.lcid);
  reader.Bytes(16, &libid);
  result.libid = ToGuid(libid);
  if (format != kTypeLibraryFormat) {
    *reason = "format version " + std::to_string(format) + " is not known";
    return false;
  }
  if (count == 0 || count > kMaxTypeInterfaces) {
    *reason = "the interface count " + std::to_string(count) + " is out of range";
    return false;
  }
  if (!ReadName(reader, &result.name, reason, "library name")) return false;
  for (uint16_t n = 0; n < count; ++n) {
    TypeInterface item;
    std::string_view iid;
    if (!reader.Bytes(16, &iid)) {
      *reason = "truncated in interface " + std::to_string(n + 1);
      return false;
    }
    item.iid = ToGuid(iid);
    if (!ReadName(reader, &item.name, reason, "interface name")) return false;
    result.interfaces.push_back(std::move(item));
  }
  uint32_t stored = 0;
  if (!reader.U32(&stored)) {
    *reason = "truncated in the checksum";
    return false;
  }
  if (reader.left() != 0) {
    *reason = "trailing bytes after the checksum";
    return false;
  }
  if (stored != Crc32(bytes.substr(0, bytes.size() - kTrailerSize))) {
    *reason = "the checksum does not match: the file is damaged";
    return false;
  }
  *library = std::move(result);
  return true;
}

}  // namespace platform::typelib
