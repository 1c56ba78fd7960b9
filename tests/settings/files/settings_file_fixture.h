// A root with settings files in it, and ways to look at and damage them.
#pragma once

#include <memory>
#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/variant.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"
#include "settings/files/bin_file.h"
#include "settings/files/settings_file_base.h"
#include "testing/temp_root.h"

namespace settings {

class SettingsFileTest : public settings_testing::SettingsTest {
 protected:
  static SettingsFilePaths PathsOf(const std::string& owner) {
    return SettingsFilePathsFor(SettingsFileBase(owner));
  }
  static std::string LiveBytes(const std::string& owner) { return testing_support::ReadFileBytes(PathsOf(owner).live); }

  // A collection stored for the owner, holding name = value.
  static void Store(const std::string& owner, const std::string& name, const platform::Variant& value) {
    cSettings settings;
    settings.SetValue(name, value);
    settings.WriteSnapshotToStored(owner);
  }

  // A new collection holding "sys.keep", then loaded from the owner's file.
  static std::shared_ptr<cSettings> Load(const std::string& owner) {
    auto settings = std::make_shared<cSettings>();
    settings->SetValue("sys.keep", "before");
    settings->CreateSnapshotFromStored(owner);
    return settings;
  }

  static bool Loaded(const cSettings& settings) { return !const_cast<cSettings&>(settings).Exists("sys.keep"); }
};

}  // namespace settings
