// Outside text as the user list's account database (passwd format):
// ParsePasswd for three uid ranges, and the component (UserList::Users)
// reading the same text from the file the machine configuration names.
//
// The records are checked against a plain reading of the lines (seven
// ':'-separated fields, a CR before the line end dropped, lines starting with
// '#', '+' or '-' skipped):
//   - listed are exactly root and the accounts in the uid range whose shell
//     is not empty, "nologin" or "false", the first line of each uid alone,
//     in file order;
//   - each record is the login name, "S-1-22-1-" + the uid, and the first
//     comma-separated part of the full name trimmed (else the login name);
//   - the component lists what ParsePasswd lists for its default range, and
//     a filter (login name or SID, any letter case) keeps exactly the
//     matching records.
#include <cctype>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/private_root.h"
#include "platform/basic/err.h"
#include "support/users/user_list.h"

namespace {

using Records = std::vector<contracts::UserRecord>;

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t colon = line.find(':');
    fields.push_back(line.substr(0, colon));
    if (colon == std::string_view::npos) return fields;
    line.remove_prefix(colon + 1);
  }
}

bool Uid(std::string_view text, long* uid) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *uid);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && *uid >= 0;
}

bool LoginShell(std::string_view shell) {
  const std::string_view base = shell.substr(shell.find_last_of('/') + 1);
  return !shell.empty() && base != "nologin" && base != "false";
}

std::string TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

Records Expected(std::string_view text, long uid_min, long uid_max) {
  Records records;
  std::set<long> uids;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line[0] == '#' || line[0] == '+' || line[0] == '-') continue;
    const auto fields = Fields(line);
    long uid = 0;
    if (fields.size() != 7 || fields[0].empty() || !Uid(fields[2], &uid)) continue;
    if (uid != 0 && !(uid >= uid_min && uid <= uid_max && LoginShell(fields[6]))) continue;
    if (!uids.insert(uid).second) continue;
    const std::string full = TrimSpaces(fields[4].substr(0, fields[4].find(',')));
    records.push_back({std::string(fields[0]), "S-1-22-1-" + std::to_string(uid),
                       full.empty() ? std::string(fields[0]) : full, false});
  }
  return records;
}

bool Same(const Records& a, const Records& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].UserID != b[i].UserID || a[i].SID != b[i].SID || a[i].FriendlyName != b[i].FriendlyName ||
        a[i].Flag != b[i].Flag)
      return false;
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

void CheckComponent(std::string_view text, const Records& listed) {
  static const std::filesystem::path root = [] {
    const auto& path = fuzz_support::UsePrivateRoot("passwd");
    std::ofstream(path / "machine.conf") << "PasswdFile = accounts\n";
    return path;
  }();
  {
    std::ofstream file(root / "accounts", std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  support::UserList users;
  if (!Same(users.Users(""), listed)) __builtin_trap();
  for (const std::string& filter : {listed.empty() ? std::string("root") : Upper(listed.front().UserID),
                                    listed.empty() ? std::string("S-1-22-1-0") : Lower(listed.back().SID)}) {
    Records matching;
    for (const auto& record : listed) {
      if (Lower(record.UserID) == Lower(filter) || Lower(record.SID) == Lower(filter)) matching.push_back(record);
    }
    if (!Same(users.Users(filter), matching)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static constexpr std::pair<long, long> kRanges[] = {{1000, 60000}, {0, LONG_MAX}, {60000, 1000}};
  for (const auto& [low, high] : kRanges) {
    if (!Same(support::ParsePasswd(text, low, high), Expected(text, low, high))) __builtin_trap();
  }
  CheckComponent(text, Expected(text, 1000, 60000));
  return 0;
}
