// The rights component: grants access to a file or folder.
#pragma once

#include <cstdint>
#include <string>

namespace contracts {

// Access masks in the Windows generic-rights form the callers pass.
inline constexpr uint32_t kGenericAll = 0x10000000;
inline constexpr uint32_t kGenericExecute = 0x20000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kGenericRead = 0x80000000;

// The trustee argument that names the local users group.
inline constexpr int32_t kTrusteeUsers = 3;

class RightsComponent {
 public:
  virtual ~RightsComponent() = default;

  // Grants `trustee` (kTrusteeUsers) the rights of `access_mask` on `path`;
  // `flags` is reserved and 0. Answers "OK", or the reason it failed.
  virtual std::string Grant(int32_t trustee, const std::string& path, uint32_t access_mask, int32_t flags) = 0;
};

}  // namespace contracts
