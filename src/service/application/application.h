// Application: the service's main public object. Through it clients read the
// system and current-user settings collections, report that they changed
// settings, switch the current user, load the guest profile, store a
// collection as a user's profile, check a local logon, and reach the shared
// cIoNotify object and the name resolver. It tells its own clients of
// lifecycle and settings changes through the __Application events
// (application_events.h) and the feature plug-ins through
// NotifyFeaturePlugins.
//
// One object exists per running service, on the service thread:
//
//   auto app = std::make_shared<service::Application>();   // start sequence
//   service::SetApplicationObject(app);
//   service::SvcInit::Init();                               // may call LoadSingleUserSettings
//   app->Startup(settings::GetSystemSettings(), settings::GetUserSettings());
//   ...
//   app->Shutdown();                                        // stop sequence
//
// Late-bound callers reach the public operations by name (the names below).
// Startup, Shutdown, SaveAllSettings and SetCurrentUserSID are internal: they
// are not in the dispatch table.
//
// No operation raises: each step traps its own error (recorded as the
// thread's pending error) and the next step runs. Failure shows as False,
// an empty text or Nothing. Passwords are never logged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "platform/com/object.h"
#include "service/application/application_events.h"
#include "settings/shared/shared_settings.h"

namespace service {

class Application : public platform::com::Object {
 public:
  Application();
  ~Application() override;

  // --- Public operations, in interface order ---------------------------------

  // The current user's identifier ("*" the guest, empty for none).
  std::string CurrentUserSID() const { return current_user_sid_; }
  // Sets `o` to a new "Scripting.FileSystemObject" (Nothing where the class
  // is not available); always 0. `A3` is not used.
  int32_t GetFSO(const std::string& A3, platform::Variant& o);
  // The shared cIoNotify object; Nothing until the plug-in registry has one.
  platform::com::ObjectPtr GetIoNotify();
  // Always Nothing.
  platform::com::ObjectPtr GetUpdateInfo(const std::string& A6);
  // Tells the plug-ins OnGuiShutdown.
  void GuiShutdown();
  // The data object / the status of one feature plug-in.
  platform::com::ObjectPtr IoGetFeaturePluginData(const std::string& ProgID);
  bool IoGetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus);
  // The registry proxy (registry_proxy.h): each R2 member is one registry
  // function; A1 is not used; by-reference arguments carry results back.
  int32_t R2CloseKey(const std::string& A1, int32_t hKey);
  int32_t R2CreateKeyEx(const std::string& A1, int32_t hKey, std::string& lpSubKey, int32_t Reserved,
                        const std::string& lpClass, int32_t dwOptions, int32_t samDesired,
                        int32_t lpSecurityAttributes, int32_t& phkResult, int32_t& lpdwDisposition);
  int32_t R2DeleteKey(const std::string& A1, int32_t hKey, const std::string& lpSubKey);
  int32_t R2DeleteValue(const std::string& A1, int32_t hKey, const std::string& lpValueName);
  int32_t R2EnumByteValue(const std::string& A1, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                          int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType, std::vector<uint8_t>* lpData,
                          int32_t& lpcbData);
  int32_t R2EnumKeyEx(const std::string& A1, int32_t hKey, int32_t dwIndex, std::string& lpName, int32_t& lpcbName,
                      int32_t lpReserved, std::string* lpClass, int32_t& lpcbClass);
  int32_t R2EnumLongValue(const std::string& A1, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                          int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType, int32_t& lpData,
                          int32_t& lpcbData);
  int32_t R2EnumStringValue(const std::string& A1, int32_t hKey, int32_t dwIndex, std::string& lpValueName,
                            int32_t& lpcbValueName, int32_t lpReserved, int32_t& lpType, std::string* lpData,
                            int32_t& lpcbData);
  int32_t R2OpenKeyEx(const std::string& A1, int32_t hKey, const std::string& lpSubKey, int32_t ulOptions,
                      int32_t samDesired, int32_t& phkResult);
  int32_t R2QueryByteValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName, int32_t lpReserved,
                             int32_t& lpType, std::vector<uint8_t>* lpData, int32_t& lpcbData);
  int32_t R2QueryByvalLongValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName,
                                  int32_t lpReserved, int32_t& lpType, int32_t lpData, int32_t& lpcbData);
  int32_t R2QueryLongValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName, int32_t lpReserved,
                             int32_t& lpType, int32_t& lpData, int32_t& lpcbData);
  int32_t R2QueryStringValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName,
                               int32_t lpReserved, int32_t& lpType, std::string* lpData, int32_t& lpcbData);
  int32_t R2SetByteValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName, int32_t lpReserved,
                           int32_t dwType, const std::vector<uint8_t>& lpData, int32_t& lpcbData);
  int32_t R2SetLongValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName, int32_t lpReserved,
                           int32_t dwType, int32_t lpData, int32_t& lpcbData);
  int32_t R2SetStringValueEx(const std::string& A1, int32_t hKey, const std::string& lpValueName,
                             int32_t lpReserved, int32_t dwType, const std::string& lpData, int32_t& lpcbData);
  // Reloads the system collection from its file and sets the three folder
  // settings again.
  void RefreshSystemSettings();
  // Reloads the current user's collection from that user's profile.
  void RefreshUserSettings();
  // A client changed settings: conflicting products switch features off,
  // the feature sets are recalculated, and a dirty system collection (and a
  // dirty collection of the current user) is announced to the plug-ins and
  // the clients, and stored first when `fDoPersist`.
  void SettingsChanged(bool fDoPersist = false);
  // Logs off the current user (storing what is dirty) and, unless the new
  // identifier is the current one, loads the new user's profile (an empty
  // identifier: none) and logs on. `oldUserSID` is only logged.
  void SwitchUser(const std::string& oldUserSID, const std::string& NewUserSID);
  settings::SettingsPtr SystemSettings() const { return System(); }
  settings::SettingsPtr UserSettings() const { return User(); }
  // The system's version: " 2.01.007" for 2.1 revision 7.
  std::string version();
  // The name resolver of the shared cIoNotify; Nothing without one.
  platform::com::ObjectPtr DnsResolver();
  // True only for a local account whose password is right; a name with "@"
  // or "\" is false without a logon attempt.
  bool ValidateWindowsUserCredentials(const std::string& Username, const std::string& password);
  // Stores a copy of `Settings` (a cSettings, or any object with
  // WriteSnapshotToString) as the profile of `usersid`, which must be the
  // copy's "user.sid". True when the profile was written; the collections
  // in memory are not touched.
  bool SaveSettingsEx(const platform::com::ObjectPtr& Settings, const std::string& usersid);
  // Makes the guest profile ("*") the current user's collection, creating it
  // from defaults when there is no valid stored one. The current user
  // identifier stays as it is.
  void LoadSingleUserSettings();

  // --- Internal operations ------------------------------------------------

  // Takes both collections, sets the current user from the user collection,
  // resets "sys.uiactive" and "features.disabled", recalculates the feature
  // sets and raises OnStartup.
  void Startup(settings::SettingsPtr system, settings::SettingsPtr user);
  // Stores dirty settings and raises OnShutdown.
  void Shutdown();
  void SaveAllSettings();
  void SetCurrentUserSID(const std::string& sid) { current_user_sid_ = sid; }

  platform::com::EventSource* Events() override { return &events_; }
  platform::com::EventSource& events() { return events_; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  // The collections Startup handed over; before Startup (SvcInit::Init calls
  // LoadSingleUserSettings first) the thread's installed ones.
  settings::SettingsPtr System() const;
  settings::SettingsPtr User() const;
  // Raises one of the __Application events.
  void RaiseEvent(platform::com::DispId id, const char* name);
  // The user collection loaded from the stored profile of `sid`; a profile
  // that does not load leaves it empty rather than holding another user's
  // settings.
  void LoadUserProfile(const settings::SettingsPtr& user, const std::string& sid);

  settings::SettingsPtr system_settings_;
  settings::SettingsPtr user_settings_;
  std::string current_user_sid_;
  platform::com::EventSource events_;
};

}  // namespace service
