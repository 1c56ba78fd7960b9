// Outside bytes as a type library file ("HTLB"): DecodeTypeLibrary, and
// LoadTypeLib on the same bytes laid in a private root.
//
// Each input is read twice: as it stands, and with its last four bytes
// replaced by the right CRC-32, so the checks behind the checksum are reached
// too. What must hold:
//   - a library that decodes encodes back to exactly the bytes read (one
//     library, one file), with names of 1 to 255 printable, blank-free bytes,
//     1 to 1024 interfaces, and every GUID surviving GuidText/ParseGuid;
//   - a refusal gives a reason and leaves the caller's library untouched;
//   - a decoded file with any one bit flipped, or cut short, is refused;
//   - LoadTypeLib answers S_OK exactly when the bytes decode, else
//     TYPE_E_UNSUPFORMAT without the signature and TYPE_E_INVDATAREAD with it;
//   - ParseGuid takes a text only when GuidText gives it back (upper case).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "common/private_root.h"
#include "platform/typelib/load_type_lib.h"
#include "platform/typelib/type_library.h"

namespace {

namespace tl = platform::typelib;

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > tl::kMaxTypeName) return false;
  for (char c : name) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

bool GuidSurvivesText(const tl::Guid& guid) {
  const auto back = tl::ParseGuid(tl::GuidText(guid));
  return back && *back == guid;
}

// A library the decoder will never produce: a refusal must leave it alone.
tl::TypeLibrary Sentinel() {
  tl::TypeLibrary library;
  library.name = "\x01sentinel";
  library.major = 0xBEEF;
  return library;
}

bool Decodes(std::string_view bytes) {
  tl::TypeLibrary library;
  std::string reason;
  return tl::DecodeTypeLibrary(bytes, &library, &reason);
}

// Returns whether `bytes` decoded, after checking what a decode promises.
bool CheckDecode(std::string_view bytes, size_t pick) {
  tl::TypeLibrary library = Sentinel();
  std::string reason;
  if (!tl::DecodeTypeLibrary(bytes, &library, &reason)) {
    if (reason.empty()) __builtin_trap();
    if (library.name != Sentinel().name || library.major != Sentinel().major) __builtin_trap();
    return false;
  }
  if (tl::EncodeTypeLibrary(library) != bytes) __builtin_trap();
  if (!ValidName(library.name) || !GuidSurvivesText(library.libid)) __builtin_trap();
  if (library.interfaces.empty() || library.interfaces.size() > tl::kMaxTypeInterfaces) __builtin_trap();
  for (const tl::TypeInterface& item : library.interfaces) {
    if (!ValidName(item.name) || !GuidSurvivesText(item.iid)) __builtin_trap();
  }
  // CRC-32 catches every single-bit error, and no prefix is a whole file.
  std::string flipped(bytes);
  const size_t bit = pick % (flipped.size() * 8);
  flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
  if (Decodes(flipped)) __builtin_trap();
  if (Decodes(bytes.substr(0, pick % bytes.size()))) __builtin_trap();
  return true;
}

void CheckLoad(std::string_view bytes, bool decoded) {
  static const std::string path = (fuzz_support::UsePrivateRoot("type-library") / "input.tlb").string();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  tl::TypeLibrary library;
  std::string reason;
  const tl::HRESULT result = tl::LoadTypeLib(path, &library, &reason);
  const bool signed_file = bytes.substr(0, 4) == std::string_view("HTLB", 4);
  const tl::HRESULT expected = decoded       ? tl::kSOk
                               : signed_file ? tl::kTypeErrInvalidDataRead
                                             : tl::kTypeErrUnsupportedFormat;
  if (result != expected) __builtin_trap();
  if ((result == tl::kSOk) != reason.empty()) __builtin_trap();
}

void CheckGuidText(std::string_view text) {
  const auto guid = tl::ParseGuid(text);
  if (!guid) return;
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (tl::GuidText(*guid) != upper) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Spread over the input so the flipped bit and the cut move with it.
  size_t pick = size;
  for (size_t i = 0; i < size; i += 7) pick = pick * 31 + data[i];

  CheckLoad(bytes, CheckDecode(bytes, pick));
  if (size >= 4) {
    std::string sealed(bytes.substr(0, size - 4));
    const uint32_t crc = tl::Crc32(sealed);
    for (int shift = 0; shift < 32; shift += 8) sealed.push_back(static_cast<char>((crc >> shift) & 0xFF));
    CheckDecode(sealed, pick);
  }
  CheckGuidText(bytes);
  return 0;
}
