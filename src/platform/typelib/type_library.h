// Type library files: the interfaces a component offers and the GUIDs that
// name them, in the small binary format of docs/design/install.md.
//
//   TypeLibrary library;
//   std::string reason;
//   if (DecodeTypeLibrary(bytes, &library, &reason)) ...   // validated
//   std::string bytes = EncodeTypeLibrary(library);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::typelib {

// A GUID in its 16 stored bytes: Data1 (4), Data2 (2), Data3 (2) little
// endian, then Data4's 8 bytes as they stand.
using Guid = std::array<uint8_t, 16>;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidText(const Guid& guid);
// The GUID of that text (braces required, hex of either case); nullopt
// otherwise.
std::optional<Guid> ParseGuid(std::string_view text);

struct TypeInterface {
  Guid iid{};
  std::string name;
};

struct TypeLibrary {
  Guid libid{};
  std::string name;
  uint16_t major = 1;
  uint16_t minor = 0;
  uint32_t lcid = 0;
  std::vector<TypeInterface> interfaces;
};

inline constexpr char kTypeLibraryMagic[4] = {'H', 'T', 'L', 'B'};
inline constexpr uint16_t kTypeLibraryFormat = 1;
inline constexpr size_t kMaxTypeName = 255;
inline constexpr size_t kMaxTypeInterfaces = 1024;

// The file's bytes; a library that breaks the format's limits (empty or too
// long names, no interfaces) is encoded all the same and refused on decode.
std::string EncodeTypeLibrary(const TypeLibrary& library);

// True and *library filled when `bytes` is a whole, undamaged type library
// file; false with *reason saying what is wrong (empty, another format,
// truncated, trailing bytes, checksum, bad name ...).
bool DecodeTypeLibrary(std::string_view bytes, TypeLibrary* library, std::string* reason);

// CRC-32 (IEEE 802.3, as zlib computes it) of `bytes`.
uint32_t Crc32(std::string_view bytes);

}  // namespace platform::typelib
