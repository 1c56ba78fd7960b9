#include "bus/caller_access.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace bus {

bool UidMayAct(uid_t uid, const std::string& group_name) {
  if (uid == 0) return true;
  std::vector<char> buffer(16384);
  struct group* entry = nullptr;
  struct group storage {};
  if (getgrnam_r(group_name.c_str(), &storage, buffer.data(), buffer.size(), &entry) != 0 || entry == nullptr) {
    return false;  // no such group: only root may act
  }
  const gid_t wanted = entry->gr_gid;

  std::vector<char> user_buffer(16384);
  passwd* user = nullptr;
  passwd user_storage{};
  if (getpwuid_r(uid, &user_storage, user_buffer.data(), user_buffer.size(), &user) != 0 || user == nullptr) {
    return false;  // a uid without an account is in no group
  }
  if (user->pw_gid == wanted) return true;
  int count = 64;
  std::vector<gid_t> groups(count);
  if (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
    groups.resize(count);
    if (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(count);
  for (gid_t gid : groups) {
    if (gid == wanted) return true;
  }
  return false;
}

std::string RefusalLogLine(uid_t uid, const std::string& interface_name, const std::string& member) {
  // A caller that left before it could be asked about is "unknown".
  const std::string who = uid == static_cast<uid_t>(-1) ? std::string("unknown") : std::to_string(uid);
  return "Bus: access denied to uid " + who + " calling " + interface_name + "." + member;
}

}  // namespace bus
