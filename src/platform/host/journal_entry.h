// Structured entries for the systemd journal, sent over its native
// protocol: one datagram of "NAME=value\n" fields (a value holding a
// newline goes as NAME, "\n", its length as 64-bit little endian, the value
// and "\n"). The socket is a parameter so that a test can listen on its own.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform::host {

using JournalField = std::pair<std::string, std::string>;  // name (A-Z, 0-9, _), value

inline constexpr char kJournalSocket[] = "/run/systemd/journal/socket";

// The datagram's bytes.
std::string EncodeJournalEntry(const std::vector<JournalField>& fields);

// Sends one entry; false with *error set when it could not be sent (no
// journal listening, an entry too large for one datagram).
bool SendJournalEntry(const std::vector<JournalField>& fields, const std::string& socket_path, std::string* error);

}  // namespace platform::host
