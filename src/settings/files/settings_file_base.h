// Where a settings file lives: one pair of files per owner in the profile
// folder, named for a digest of the owner's identifier.
//
//   <profile>/<base>.exl   the live file
//   <profile>/<base>.exb   the work file, written first, then renamed over it
//
// Owner: a user's security identifier text, "*" for the guest profile, or the
// empty text for the system collection.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Put in front of the owner before the digest is taken.
inline constexpr char kSettingsFileSalt[] = "+%&=*";
inline constexpr char kLiveFileExtension[] = ".exl";
inline constexpr char kWorkFileExtension[] = ".exb";

// The crypto service's digest text of salt + owner, owner in lower case.
std::string SettingsFileBase(std::string_view owner);

struct SettingsFilePaths {
  std::string live;
  std::string work;
};

// The two files of a base name in the profile folder.
SettingsFilePaths SettingsFilePathsFor(std::string_view base);

}  // namespace settings
