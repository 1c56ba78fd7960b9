// The encryption of a snapshot text for its settings file. The key and the
// vector are derived afresh on every call from the owner's identifier (upper
// case for the key, lower case for the vector) and a fixed suffix each; they
// are never stored.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

using ByteArray = std::vector<std::uint8_t>;

// Fixed for the life of the stored files: changing either makes every
// existing settings file unreadable.
inline constexpr char kSnapshotKeySuffix[] = "k#Vr5";
inline constexpr char kSnapshotVectorSuffix[] = "v!Lq8";

// The snapshot's bytes (UTF-8, no terminator) encrypted for the owner; empty
// when the text is empty or shorter than 3 bytes.
ByteArray EncryptSnapshot(std::string_view owner, std::string_view xml);

// The text the bytes decrypt to, cut at the first NUL and trimmed of spaces;
// empty when there are fewer than 3 bytes or they decrypt to fewer than 3.
std::string DecryptSnapshot(std::string_view owner, std::span<const std::uint8_t> bytes);

// More than two bytes (upper bound minus lower bound greater than 1).
bool HasMoreThanTwoBytes(std::span<const std::uint8_t> bytes);

}  // namespace settings
