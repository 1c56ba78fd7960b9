// cSettings: one collection of named settings (the system's, one user's, or a
// working copy). Names are dotted texts kept in lower case; values are
// Variants. The collection turns into an XML snapshot (cSettingsXML) and from
// there into an encrypted settings file, and is loaded back the same way.
//
//   auto system = std::make_shared<settings::cSettings>();
//   system->CreateSnapshotFromStored("");          // the system file
//   system->SetValue("sys.SetupWizardComplete", true);
//   if (system->GetValueB("sys.setupwizardcomplete")) ...
//   if (system->Dirty()) system->WriteSnapshotToStored("");
//
// The collection is an object of the object model: late-bound callers reach
// every public operation by name, and its holder hears the __cSettings
// events (Sync, SettingChanged, SettingsCleared, SettingsLoaded,
// SettingRemoved, SettingsStored) through Events().
//
// Errors: every operation traps its own errors, except those whose failure
// the caller must see, which raise platform::BasicError:
//   GetValueB, GetValueL      13 Type mismatch for a value that does not convert
//   SetValue, Namespace put   380 with the reason, for a value or a name no
//                             snapshot could hold (storable_setting.h): the
//                             collection is left as it was
//   WriteSnapshotToString     0x80047723 "Invalid PropertyValue type." for a
//                             value the snapshot cannot hold (only an object
//                             whose own value changed since it was set)
// Call them through platform::Step where a failure must not travel further.
//
// A collection belongs to the thread that made it (no lock of its own).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "platform/com/object.h"
#include "settings/xml/property_bag_object.h"

namespace settings {

class SettingsBag;
class cSettingsXML;

// Dispatch identifiers of the __cSettings events.
inline constexpr platform::com::DispId kDispIdSync = 1;
inline constexpr platform::com::DispId kDispIdSettingChanged = 2;
inline constexpr platform::com::DispId kDispIdSettingsCleared = 3;
inline constexpr platform::com::DispId kDispIdSettingsLoaded = 4;
inline constexpr platform::com::DispId kDispIdSettingRemoved = 5;
inline constexpr platform::com::DispId kDispIdSettingsStored = 6;

// The object name every collection's snapshot is saved under.
inline constexpr char kSnapshotObjectName[] = "Windows_v1.50";
// The marker every stored file carries, and its text.
inline constexpr char kUncorruptedSetting[] = "uncorrupted";
inline constexpr char kUncorruptedText[] = "Definitely";
// The setting name that switches the brand when set to True (matched as
// written, letter case included).
inline constexpr char kBrandChangeSetting[] = "tmp.dobrandchange";

class cSettings : public PropertyBagObject {
 public:
  cSettings();
  ~cSettings() override;
  cSettings(const cSettings&) = delete;
  cSettings& operator=(const cSettings&) = delete;

  // --- Public operations, in interface order ------------------------------

  // Kept and returned; nothing else reads it.
  bool UseFile() const { return use_file_; }
  void SetUseFile(bool value) { use_file_ = value; }

  // The prefix given to names without a dot: lower case, ending in ".".
  // Setting the empty text makes it "."; one that could not start an XML
  // name is refused (380).
  std::string Namespace() const;
  void SetNamespace(std::string_view value);

  // "prefix*" starts an enumeration: the first name (in insertion order)
  // starting with the prefix, which the collection remembers. Any other text
  // continues it: the next name after that one that starts with the
  // remembered prefix. Names come back in lower case; "" when none is left.
  // The name just handed out always continues, even when it ends in "*".
  std::string EnumSettingNames(std::string_view prev_setting_name);

  // The value as stored; the empty text "" when the name is absent.
  platform::Variant GetValue(std::string_view setting);
  // False when absent or equal to ""; else CBool of the value (raises 13).
  bool GetValueB(std::string_view setting);
  // 0 when absent; else CLng of the value (raises 13 or 6).
  int32_t GetValueL(std::string_view setting);
  // Removes the name and raises SettingRemoved; Dirty stays as it is.
  void RemoveValue(std::string_view setting);
  // Stores the value; when it changed, Dirty becomes True and SettingChanged
  // is raised with the name as given. "tmp.dobrandchange" set to True first
  // switches the brand and tells the plug-ins (see SetBrandChangeListener).
  // A value or name no snapshot could hold is refused first (380).
  void SetValue(std::string_view setting, const platform::Variant& value);

  // The XML snapshot of the collection (raises 0x80047723, see above).
  std::string WriteSnapshotToString();
  // Replaces the entries by those of the snapshot text. Never fails: text
  // that does not parse leaves the collection empty (and is logged). Ends
  // with Dirty False and SettingsLoaded.
  void CreateSnapshotFromString(std::string_view xml);
  // Stores the collection in the settings file of `usersid` ("" for the
  // system collection). Never fails; the outcome is in the system log.
  void WriteSnapshotToStored(std::string_view usersid);
  // Loads the settings file of `usersid`. A missing or damaged file leaves
  // the collection as it was. Never fails; the outcome is in the system log.
  void CreateSnapshotFromStored(std::string_view usersid);

  // Raises Sync(reason) (a sink may write the reason back) and returns Empty.
  platform::Variant DoSync(std::string& reason);
  platform::Variant DoSync(std::string_view reason);
  // Removes every entry, resets the namespace and Dirty; SettingsCleared.
  void ClearAllSettings();
  bool Dirty() const { return dirty_; }
  // Whether the bag holds the name exactly as given (no lower-casing, no
  // namespace): pass lower-case full names.
  bool Exists(std::string_view setting);
  // Before the system collection is stored: when "sys.setupwizardcomplete" is
  // True but no "legacy.feature" setting exists, writes a copy of the
  // snapshot to "DebugSettings-ddmmyyhhnnss.xml" in the log folder.
  void DebugCheckBogusSettings(std::string_view user_id);

  // --- Within the settings store ------------------------------------------

  // The snapshot writer calls this: one WriteProperty per stored setting.
  void SaveToPropertyBag(cSettingsXML& writer) override;
  // The snapshot reader calls this once per property element.
  void RestoreProperty(std::string_view name, std::string text, int32_t vartype) override;
  // Full path of the ".exl" file last read or written.
  const std::string& StoredFilePath() const { return stored_file_path_; }
  void SetStoredFilePath(std::string path) { stored_file_path_ = std::move(path); }

  // The number of entries, and the name and value at a 0-based position
  // (insertion order; std::out_of_range past the end).
  std::size_t Count() const;
  const std::string& NameAt(std::size_t index) const;
  const platform::Variant& ValueAt(std::size_t index) const;

  // Takes over the entries of `loaded` (which is left empty) as a load from
  // the settings file does: entries replaced, overwrite line, Dirty False,
  // SettingsLoaded.
  void AdoptLoadedSettings(cSettings& loaded);

  std::string TypeName() const override { return "cSettings"; }
  platform::com::EventSource* Events() override { return &events_; }
  platform::com::EventSource& events() { return events_; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  SettingsBag& Bag();
  std::string NormaliseSettingName(std::string_view setting) const;
  // Stores under the normalised name; true when the value changed. Raises
  // no event and leaves Dirty alone.
  bool StoreValue(std::string_view setting, const platform::Variant& value);
  bool StoreValueAt(std::string key, platform::Variant value);
  // A name already in lower case, with the namespace put before it when it
  // has no dot.
  std::string InNamespace(std::string name) const;
  // After a change: Dirty, and SettingChanged with the name as given.
  void ValueChanged(std::string_view setting, const platform::Variant& value);
  std::string SettingsSignature();
  void ReportOverwrite(const std::string& old_signature);
  void FinishLoad(const std::string& old_signature);
  bool WriteSettingsFile(std::string_view usersid);
  bool ReadSettingsFile(std::string_view usersid);

  std::unique_ptr<SettingsBag> bag_;
  std::string namespace_;
  bool dirty_ = false;
  std::string enumeration_prefix_;
  std::string last_enumerated_;  // the name EnumSettingNames last handed out
  bool use_file_ = false;
  std::string stored_file_path_;
  bool saving_ = false;  // inside SaveToPropertyBag (a collection holding itself)
  platform::com::EventSource events_;
};

// What runs when "tmp.dobrandchange" is set to True, after the brand switch
// and before the value is stored: the plug-in registry installs a listener
// that tells every feature plug-in OnUserLogoff; the collection calls it
// twice. An empty function removes it. Process-wide.
void SetBrandChangeListener(std::function<void()> listener);

}  // namespace settings
