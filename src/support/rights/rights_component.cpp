#include "support/rights/rights_component.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/root/machine_root.h"

namespace support {
namespace {

constexpr char kOk[] = "OK";
constexpr char kInvalidParameter[] = "The parameter is incorrect.";

// The group permission bits an access mask stands for.
mode_t GroupBits(uint32_t mask, bool is_folder) {
  mode_t bits = 0;
  if (mask & contracts::kGenericAll) bits |= S_IRWXG;
  if (mask & contracts::kGenericRead) bits |= S_IRGRP | (is_folder ? S_IXGRP : 0);
  if (mask & contracts::kGenericWrite) bits |= S_IWGRP;
  if (mask & contracts::kGenericExecute) bits |= S_IXGRP;
  return bits;
}

// The group's id, or the reason there is none.
bool FindGroup(const std::string& name, gid_t& gid, std::string& problem) {
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  int rc;
  while ((rc = getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (rc != 0) {
    problem = std::strerror(rc);
    return false;
  }
  if (found == nullptr) {
    problem = "The group '" + name + "' does not exist";
    return false;
  }
  gid = entry.gr_gid;
  return true;
}

}  // namespace

std::string RightsComponent::Grant(int32_t trustee, const std::string& path, uint32_t access_mask, int32_t) {
  constexpr uint32_t kKnown =
      contracts::kGenericAll | contracts::kGenericRead | contracts::kGenericWrite | contracts::kGenericExecute;
  if (trustee != contracts::kTrusteeUsers || path.empty() || (access_mask & kKnown) == 0) return kInvalidParameter;

  gid_t gid = 0;
  std::string problem;
  if (!FindGroup(platform::MachineConfigValue("UsersGroup", "users"), gid, problem)) return problem;

  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
  const bool is_folder = S_ISDIR(info.st_mode);
  if (info.st_gid != gid && ::chown(path.c_str(), static_cast<uid_t>(-1), gid) != 0) return std::strerror(errno);

  mode_t mode = (info.st_mode & 07777) | GroupBits(access_mask, is_folder);
  // New files take the group; and only a file's owner may remove or rename
  // it, so a member of the group cannot swap the service's own work files in
  // a folder they may write to.
  if (is_folder) mode |= S_ISGID | S_ISVTX;
  // chown may have cleared set-ID bits; write the whole mode again.
  if (::chmod(path.c_str(), mode) != 0) return std::strerror(errno);
  return kOk;
}

}  // namespace support
