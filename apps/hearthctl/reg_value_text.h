// Registry values as text on the command line: how `reg get` and `reg list`
// show data, and how `reg set --type` reads it.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry/registry_types.h"

namespace hearthctl {

using platform::registry::DWORD;

// Control characters as \xNN, every other byte as it is.
std::string EscapeText(std::string_view text);

// REG_SZ and REG_EXPAND_SZ: the text before the first NUL; REG_MULTI_SZ: the
// strings joined by "\0"; REG_DWORD and REG_QWORD: the number in decimal;
// anything else (or a number of the wrong size): the bytes in hex.
std::string FormatValueData(DWORD type, std::string_view data);

// "REG_SZ"/"sz" ... (any case) to the type number. False when unknown.
bool ParseValueType(std::string_view name, DWORD* type);

// Turns `text` into the bytes stored for `type`: texts get their NUL,
// multi-strings are split at "\0", numbers are decimal or 0x-hex, binary is
// hex digits (spaces allowed). False with `*error` set when the text does not
// fit the type.
bool ParseValueData(DWORD type, std::string_view text, std::string* data, std::string* error);

}  // namespace hearthctl
