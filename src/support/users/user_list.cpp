#include "support/users/user_list.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/root/machine_root.h"

namespace support {
namespace {

constexpr char kSource[] = "UserList";
constexpr char kDefaultPasswdFile[] = "/etc/passwd";
constexpr long kDefaultUidMin = 1000;
constexpr long kDefaultUidMax = 60000;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t colon = line.find(':', start);
    if (colon == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, colon - start));
    start = colon + 1;
  }
}

bool ParseUid(std::string_view text, long& uid) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), uid);
  return error == std::errc() && end == text.data() + text.size() && uid >= 0;
}

bool IsLoginShell(std::string_view shell) {
  if (shell.empty()) return false;
  const size_t slash = shell.find_last_of('/');
  const std::string_view base = slash == std::string_view::npos ? shell : shell.substr(slash + 1);
  return base != "nologin" && base != "false";
}

std::string FullName(std::string_view gecos, std::string_view login) {
  std::string name = platform::Trim(gecos.substr(0, gecos.find(',')));
  return name.empty() ? std::string(login) : name;
}

std::filesystem::path PasswdFile() {
  std::filesystem::path file(platform::MachineConfigValue("PasswdFile", kDefaultPasswdFile));
  if (file.empty()) file = kDefaultPasswdFile;
  if (file.is_relative()) file = platform::MachineRoot() / file;
  return file;
}

std::string ReadDatabase() {
  const std::filesystem::path file = PasswdFile();
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    platform::RaiseError(platform::kErrPathFileAccess, "The account database '" + file.string() + "' is a folder",
                         kSource);
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const bool missing = !std::filesystem::exists(file, error);
    platform::RaiseError(missing ? platform::kErrFileNotFound : platform::kErrPathFileAccess,
                         "Cannot read the account database '" + file.string() + "'", kSource);
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    platform::RaiseError(platform::kErrPathFileAccess, "Cannot read the account database '" + file.string() + "'",
                         kSource);
  }
  return text.str();
}

bool Matches(const contracts::UserRecord& record, const std::string& filter) {
  const std::string wanted = platform::LCase(filter);
  return platform::LCase(record.UserID) == wanted || platform::LCase(record.SID) == wanted;
}

}  // namespace

std::vector<contracts::UserRecord> ParsePasswd(std::string_view text, long uid_min, long uid_max) {
  std::vector<contracts::UserRecord> records;
  std::set<long> seen_uids;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || line.front() == '+' || line.front() == '-') continue;

    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != 7 || fields[0].empty()) continue;
    long uid = 0;
    if (!ParseUid(fields[2], uid)) continue;
    const bool is_root = uid == 0;
    const bool is_regular = uid >= uid_min && uid <= uid_max && IsLoginShell(fields[6]);
    if (!is_root && !is_regular) continue;
    if (!seen_uids.insert(uid).second) continue;

    contracts::UserRecord record;
    record.UserID = std::string(fields[0]);
    record.SID = kUnixUserSidPrefix + std::to_string(uid);
    record.FriendlyName = FullName(fields[4], fields[0]);
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<contracts::UserRecord> UserList::Users(const std::string& filter) {
  const long uid_min = platform::MachineConfigNumber("UidMin", kDefaultUidMin);
  const long uid_max = platform::MachineConfigNumber("UidMax", kDefaultUidMax);
  std::vector<contracts::UserRecord> records = ParsePasswd(ReadDatabase(), uid_min, uid_max);
  if (filter.empty()) return records;
  std::vector<contracts::UserRecord> matching;
  for (auto& record : records) {
    if (Matches(record, filter)) matching.push_back(std::move(record));
  }
  return matching;
}

}  // namespace support
