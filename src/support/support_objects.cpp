// The per-thread objects of the core support library and the factories they
// come from (see contracts/support_objects.h).
#include "contracts/support_objects.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/basic/err.h"
#include "platform/fs/folders.h"
#include "support/accounts/account_names.h"
#include "support/branding/branding_resolver.h"
#include "support/branding/late_bound_branding_resolver.h"
#include "support/conflict/conflict_detector.h"
#include "support/crypto/crypto_service.h"
#include "support/diagnostics/diagnostics.h"
#include "support/environment/environment_object.h"
#include "support/files/file_service.h"
#include "support/firewall/firewall_component.h"
#include "support/folders/folder_component.h"
#include "support/launcher/launcher.h"
#include "support/registry/registry_object.h"
#include "support/rights/rights_component.h"
#include "support/securelog/secure_log_file.h"
#include "support/time/time_component.h"
#include "support/users/user_list.h"
#include "support/version/version_service.h"

namespace contracts {
namespace {

constexpr size_t kKinds = static_cast<size_t>(SupportKind::kCount);

size_t Index(SupportKind kind) { return static_cast<size_t>(kind); }

// Process-wide: the factory of each kind and a generation number that grows
// with every change of it, so threads notice that their object is stale.
struct Factories {
  std::mutex mutex;
  std::array<ErasedSupportFactory, kKinds> factories;
  std::array<std::atomic<uint64_t>, kKinds> generations{};
};

Factories& GlobalFactories() {
  static Factories* factories = new Factories();  // never destroyed: threads may outlive static destruction
  return *factories;
}

// The real object of a kind, as its interface (converted before it becomes
// a void pointer, so the pointer always points at the interface).
template <class Interface, class Implementation>
std::shared_ptr<void> MakeReal() {
  return std::shared_ptr<Interface>(std::make_shared<Implementation>());
}

std::shared_ptr<void> RealObject(SupportKind kind) {
  switch (kind) {
    case SupportKind::kEnvironment:
      return MakeReal<EnvironmentObject, support::EnvironmentObject>();
    case SupportKind::kVersion:
      return MakeReal<VersionService, support::VersionService>();
    case SupportKind::kBranding:
      return MakeReal<BrandingResolver, support::BrandingResolver>();
    case SupportKind::kRegistry:
      return MakeReal<RegistryObject, support::RegistryObject>();
    case SupportKind::kFiles:
      return MakeReal<FileService, support::FileService>();
    case SupportKind::kFolders:
      return MakeReal<FolderComponent, support::FolderComponent>();
    case SupportKind::kRights:
      return MakeReal<RightsComponent, support::RightsComponent>();
    case SupportKind::kCrypto:
      return std::shared_ptr<CryptoService>(support::ThreadCryptoService());
    case SupportKind::kAccounts:
      return MakeReal<AccountNames, support::AccountNames>();
    case SupportKind::kConflicts:
      return MakeReal<ConflictDetector, support::ConflictDetector>();
    case SupportKind::kUserList:
      return MakeReal<UserList, support::UserList>();
    case SupportKind::kTime:
      return MakeReal<TimeComponent, support::TimeComponent>();
    case SupportKind::kFirewall:
      return MakeReal<FirewallComponent, support::FirewallComponent>();
    case SupportKind::kSecureLog:
      return std::shared_ptr<SecureLog>(std::make_shared<support::SecureLogFile>(SecureLogFolder()));
    case SupportKind::kLauncher:
      return MakeReal<Launcher, support::Launcher>();
    case SupportKind::kCount:
      break;
  }
  return nullptr;
}

struct Slot {
  uint64_t generation = 0;
  std::shared_ptr<void> object;
};

thread_local std::array<Slot, kKinds> thread_slots;

template <class T>
std::shared_ptr<T> ThreadObject() {
  const size_t index = Index(SupportKindOf<T>::kKind);
  Slot& slot = thread_slots[index];
  const uint64_t generation = GlobalFactories().generations[index].load(std::memory_order_acquire);
  if (slot.object == nullptr || slot.generation != generation) {
    slot.object = CreateErasedSupportObject(SupportKindOf<T>::kKind);
    slot.generation = generation;
  }
  return std::static_pointer_cast<T>(slot.object);
}

}  // namespace

ErasedSupportFactory GetErasedSupportFactory(SupportKind kind) {
  Factories& all = GlobalFactories();
  std::lock_guard lock(all.mutex);
  return all.factories[Index(kind)];
}

void SetErasedSupportFactory(SupportKind kind, ErasedSupportFactory factory) {
  Factories& all = GlobalFactories();
  std::lock_guard lock(all.mutex);
  all.factories[Index(kind)] = std::move(factory);
  all.generations[Index(kind)].fetch_add(1, std::memory_order_release);
}

std::shared_ptr<void> CreateErasedSupportObject(SupportKind kind) {
  ErasedSupportFactory factory = GetErasedSupportFactory(kind);
  std::shared_ptr<void> object = factory ? factory() : RealObject(kind);
  if (object == nullptr) {
    platform::RaiseError(platform::kErrCannotCreateObject, {}, "contracts::Support");
  }
  return object;
}

SupportObjects& Support() {
  thread_local SupportObjects objects;
  return objects;
}

std::shared_ptr<EnvironmentObject> SupportObjects::Environment() { return ThreadObject<EnvironmentObject>(); }
std::shared_ptr<VersionService> SupportObjects::Version() { return ThreadObject<VersionService>(); }
std::shared_ptr<BrandingResolver> SupportObjects::Branding() { return ThreadObject<BrandingResolver>(); }
std::shared_ptr<RegistryObject> SupportObjects::Registry() { return ThreadObject<RegistryObject>(); }
std::shared_ptr<FileService> SupportObjects::Files() { return ThreadObject<FileService>(); }
std::shared_ptr<FolderComponent> SupportObjects::Folders() { return ThreadObject<FolderComponent>(); }
std::shared_ptr<RightsComponent> SupportObjects::Rights() { return ThreadObject<RightsComponent>(); }
std::shared_ptr<AccountNames> SupportObjects::Accounts() { return ThreadObject<AccountNames>(); }
std::shared_ptr<ConflictDetector> SupportObjects::Conflicts() { return ThreadObject<ConflictDetector>(); }
std::shared_ptr<UserList> SupportObjects::Users() { return ThreadObject<UserList>(); }
std::shared_ptr<TimeComponent> SupportObjects::Time() { return ThreadObject<TimeComponent>(); }
std::shared_ptr<FirewallComponent> SupportObjects::Firewall() { return ThreadObject<FirewallComponent>(); }

std::shared_ptr<CryptoService> SupportObjects::Crypto() {
  // Without an override the crypto library's own per-thread object is the
  // one, so that both ways to reach it agree.
  if (!GetErasedSupportFactory(SupportKind::kCrypto)) return support::ThreadCryptoService();
  return ThreadObject<CryptoService>();
}

void SupportObjects::SetBranding(std::shared_ptr<BrandingResolver> resolver) {
  const size_t index = Index(SupportKind::kBranding);
  Slot& slot = thread_slots[index];
  slot.object = std::move(resolver);
  slot.generation = GlobalFactories().generations[index].load(std::memory_order_acquire);
}

void SupportObjects::SetBrandingObject(const platform::com::ObjectPtr& object) {
  if (object == nullptr) return SetBranding(nullptr);
  if (auto resolver = platform::com::QueryInterface<BrandingResolver>(object)) return SetBranding(resolver);
  SetBranding(std::make_shared<support::LateBoundBrandingResolver>(object));
}

platform::com::ObjectPtr SupportObjects::BrandingObject() {
  std::shared_ptr<BrandingResolver> resolver = Branding();
  if (auto wrapper = std::dynamic_pointer_cast<support::LateBoundBrandingResolver>(resolver)) return wrapper->target();
  return resolver;
}

void SetSupportDiagnosticSink(std::function<void(const std::string& line)> sink) {
  support::SetDiagnosticSink(std::move(sink));
}

void SupportObjects::Reset() {
  for (Slot& slot : thread_slots) slot = Slot{};
}

// In the profile folder (common files, or its default when the folder
// component answers none, + "/Norvale/QORC/prf").
std::string SecureLogFolder() {
  std::string common;
  platform::Quietly([&] { common = Support().Folders()->CommonFilesFolder(); });
  if (common.empty()) common = platform::fs::DefaultCommonFilesFolder();
  return support::SecureLogFolder(platform::fs::JoinPath(common, "Norvale/QORC/prf"));
}

}  // namespace contracts
