// Outside text through CreateSnapshotFromString: it never fails, and what it
// loads can be written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/collection/c_settings.h"
#include "settings_snapshot/fuzz_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  settings_fuzz::UsePrivateRoot();
  settings_fuzz::KeepLogSmall();
  settings::cSettings settings;
  settings.SetValue("sys.before", 1);
  settings.CreateSnapshotFromString(std::string_view(reinterpret_cast<const char*>(data), size));
  if (settings.Dirty()) __builtin_trap();
  settings_fuzz::CheckWritesAndReloads(settings);
  // Reading and walking whatever came in.
  for (std::string name = settings.EnumSettingNames("*"); !name.empty(); name = settings.EnumSettingNames(name)) {
    (void)settings.GetValue(name);
  }
  return 0;
}
