#include "bus/caller_access.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace bus {
namespace {

// Runs a getgrnam_r / getpwuid_r style lookup with a buffer that grows until
// the entry fits (a group with many members does not fit a fixed one).
// False when there is no such entry or the lookup fails.
template <class Lookup>
bool LookUpGrowing(Lookup lookup) {
  for (size_t size = 16384; size <= (size_t{1} << 26); size *= 2) {
    std::vector<char> buffer(size);
    bool found = false;
    const int error = lookup(buffer, &found);
    if (error == ERANGE) continue;
    return error == 0 && found;
  }
  return false;
}

}  // namespace

bool UidMayAct(uid_t uid, const std::string& group_name) {
  if (uid == 0) return true;
  gid_t wanted = 0;
  const bool group_found = LookUpGrowing([&](std::vector<char>& buffer, bool* found) {
    struct group storage {};
    struct group* entry = nullptr;
    const int error = getgrnam_r(group_name.c_str(), &storage, buffer.data(), buffer.size(), &entry);
    if (entry != nullptr) wanted = entry->gr_gid;
    *found = entry != nullptr;
    return error;
  });
  if (!group_found) return false;  // no such group: only root may act

  std::string user_name;
  gid_t user_group = 0;
  const bool user_found = LookUpGrowing([&](std::vector<char>& buffer, bool* found) {
    passwd storage{};
    passwd* user = nullptr;
    const int error = getpwuid_r(uid, &storage, buffer.data(), buffer.size(), &user);
    if (user != nullptr) {
      user_name = user->pw_name;
      user_group = user->pw_gid;
    }
    *found = user != nullptr;
    return error;
  });
  if (!user_found) return false;  // a uid without an account is in no group
  if (user_group == wanted) return true;
  int count = 64;
  std::vector<gid_t> groups(count);
  if (getgrouplist(user_name.c_str(), user_group, groups.data(), &count) < 0) {
    groups.resize(count);
    if (getgrouplist(user_name.c_str(), user_group, groups.data(), &count) < 0) return false;
  }
  groups.resize(count);
  for (gid_t gid : groups) {
    if (gid == wanted) return true;
  }
  return false;
}

bool UidHasAccess(uid_t uid, Access level, const std::string& group) {
  switch (level) {
    case Access::kRead: return true;
    case Access::kAct: return UidMayAct(uid, group);
    case Access::kRoot: return uid == 0;
  }
  return false;
}

std::string RefusalLogLine(uid_t uid, const std::string& interface_name, const std::string& member,
                           const std::string& why) {
  // A caller that left before it could be asked about is "unknown".
  const std::string who = uid == static_cast<uid_t>(-1) ? std::string("unknown") : std::to_string(uid);
  return "Bus: access denied to uid " + who + " calling " + interface_name + "." + member +
         (why.empty() ? std::string() : " (root only: " + why + ")");
}

std::string RefusalText(Access level, const std::string& group, const std::string& member, const std::string& why) {
  if (level == Access::kRoot) return "only root may call " + member + (why.empty() ? std::string() : ": " + why);
  return "only root and members of the group " + group + " may call " + member;
}

}  // namespace bus
