// The one place that hands out the core support library's objects.
//
// Each thread has its own object of each kind, created on first use and kept
// until the thread ends (the objects are bound to the thread that made them):
//
//   contracts::Support().Branding()->LookupString("{%strings%}/guest", ".guest");
//   if (contracts::Support().Environment()->EnvironmentFlag()) ...
//
// Objects come from process-wide factories, by default the real objects of
// src/support. A test replaces a factory for a while; every thread then gets
// an object from the new factory on its next request:
//
//   auto fake = std::make_shared<FakeBranding>();
//   contracts::ScopedSupportOverride<contracts::BrandingResolver> use_fake(fake);
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "contracts/account_names.h"
#include "contracts/branding_resolver.h"
#include "contracts/conflict_detector.h"
#include "contracts/crypto_service.h"
#include "contracts/environment_object.h"
#include "contracts/file_service.h"
#include "contracts/firewall_component.h"
#include "contracts/folder_component.h"
#include "contracts/launcher.h"
#include "contracts/registry_object.h"
#include "contracts/rights_component.h"
#include "contracts/secure_log.h"
#include "contracts/time_component.h"
#include "contracts/user_list.h"
#include "contracts/version_service.h"

namespace contracts {

using CryptoService = ICryptoService;

// This thread's objects.
class SupportObjects {
 public:
  std::shared_ptr<EnvironmentObject> Environment();
  std::shared_ptr<VersionService> Version();
  std::shared_ptr<BrandingResolver> Branding();
  std::shared_ptr<RegistryObject> Registry();
  std::shared_ptr<FileService> Files();
  std::shared_ptr<FolderComponent> Folders();
  std::shared_ptr<RightsComponent> Rights();
  std::shared_ptr<CryptoService> Crypto();
  std::shared_ptr<AccountNames> Accounts();
  std::shared_ptr<ConflictDetector> Conflicts();
  std::shared_ptr<UserList> Users();
  std::shared_ptr<TimeComponent> Time();
  std::shared_ptr<FirewallComponent> Firewall();

  // Makes `resolver` this thread's branding resolver (a client's own, handed
  // in through cIoNotify.ResClient); null goes back to the factory's.
  void SetBranding(std::shared_ptr<BrandingResolver> resolver);
  // The same for any object: one that is not a BrandingResolver is reached
  // by late-bound calls of the members of the same names. Nothing goes back
  // to the factory's resolver.
  void SetBrandingObject(const platform::com::ObjectPtr& object);
  // This thread's branding resolver as an object (cIoNotify.ResClient read):
  // the object that was handed in, else the resolver.
  platform::com::ObjectPtr BrandingObject();

  // Drops every object of this thread; the next request creates new ones.
  void Reset();
};

// The calling thread's objects.
SupportObjects& Support();

// Where the support objects report what callers cannot see in results (a
// damaged branding configuration replaced by the shipped one, ...). The
// service points it at its system log; an empty sink drops the lines.
void SetSupportDiagnosticSink(std::function<void(const std::string& line)> sink);

// --- Factories -------------------------------------------------------------

enum class SupportKind : int {
  kEnvironment,
  kVersion,
  kBranding,
  kRegistry,
  kFiles,
  kFolders,
  kRights,
  kCrypto,
  kAccounts,
  kUserList,
  kTime,
  kFirewall,
  kConflicts,
  // Made anew for each use (CreateSupportObject), never kept per thread.
  kSecureLog,
  kLauncher,
  // The number of kinds, not a kind: new kinds go above it.
  kCount,
};

template <class T>
struct SupportKindOf;
template <>
struct SupportKindOf<EnvironmentObject> {
  static constexpr SupportKind kKind = SupportKind::kEnvironment;
};
template <>
struct SupportKindOf<VersionService> {
  static constexpr SupportKind kKind = SupportKind::kVersion;
};
template <>
struct SupportKindOf<BrandingResolver> {
  static constexpr SupportKind kKind = SupportKind::kBranding;
};
template <>
struct SupportKindOf<RegistryObject> {
  static constexpr SupportKind kKind = SupportKind::kRegistry;
};
template <>
struct SupportKindOf<FileService> {
  static constexpr SupportKind kKind = SupportKind::kFiles;
};
template <>
struct SupportKindOf<FolderComponent> {
  static constexpr SupportKind kKind = SupportKind::kFolders;
};
template <>
struct SupportKindOf<RightsComponent> {
  static constexpr SupportKind kKind = SupportKind::kRights;
};
template <>
struct SupportKindOf<CryptoService> {
  static constexpr SupportKind kKind = SupportKind::kCrypto;
};
template <>
struct SupportKindOf<AccountNames> {
  static constexpr SupportKind kKind = SupportKind::kAccounts;
};
template <>
struct SupportKindOf<ConflictDetector> {
  static constexpr SupportKind kKind = SupportKind::kConflicts;
};

template <>
struct SupportKindOf<UserList> {
  static constexpr SupportKind kKind = SupportKind::kUserList;
};
template <>
struct SupportKindOf<TimeComponent> {
  static constexpr SupportKind kKind = SupportKind::kTime;
};
template <>
struct SupportKindOf<FirewallComponent> {
  static constexpr SupportKind kKind = SupportKind::kFirewall;
};

template <>
struct SupportKindOf<SecureLog> {
  static constexpr SupportKind kKind = SupportKind::kSecureLog;
};
template <>
struct SupportKindOf<Launcher> {
  static constexpr SupportKind kKind = SupportKind::kLauncher;
};
template <class T>
using SupportFactory = std::function<std::shared_ptr<T>()>;

// Type-erased form of the factories below.
using ErasedSupportFactory = std::function<std::shared_ptr<void>()>;
ErasedSupportFactory GetErasedSupportFactory(SupportKind kind);
void SetErasedSupportFactory(SupportKind kind, ErasedSupportFactory factory);
std::shared_ptr<void> CreateErasedSupportObject(SupportKind kind);

// Replaces the process-wide factory of T; an empty factory puts back the real
// object. Every thread's object of that kind is replaced on its next request.
template <class T>
void SetSupportFactory(SupportFactory<T> factory) {
  ErasedSupportFactory erased;
  if (factory) erased = [f = std::move(factory)]() -> std::shared_ptr<void> { return f(); };
  SetErasedSupportFactory(SupportKindOf<T>::kKind, std::move(erased));
}

// A new object of T from the factory in force, not kept anywhere (for a
// caller that needs one of its own, such as a second open registry key).
template <class T>
std::shared_ptr<T> CreateSupportObject() {
  return std::static_pointer_cast<T>(CreateErasedSupportObject(SupportKindOf<T>::kKind));
}

// Replaces the factory of T while it lives, then puts the previous one back.
template <class T>
class ScopedSupportOverride {
 public:
  explicit ScopedSupportOverride(SupportFactory<T> factory)
      : previous_(GetErasedSupportFactory(SupportKindOf<T>::kKind)) {
    SetSupportFactory<T>(std::move(factory));
  }
  // Every thread gets this one object.
  explicit ScopedSupportOverride(std::shared_ptr<T> object)
      : ScopedSupportOverride(SupportFactory<T>([object] { return object; })) {}
  ~ScopedSupportOverride() { SetErasedSupportFactory(SupportKindOf<T>::kKind, std::move(previous_)); }
  ScopedSupportOverride(const ScopedSupportOverride&) = delete;
  ScopedSupportOverride& operator=(const ScopedSupportOverride&) = delete;

 private:
  ErasedSupportFactory previous_;
};

}  // namespace contracts
