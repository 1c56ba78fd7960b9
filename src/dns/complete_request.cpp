// What happens when the socket component reports a lookup: the answer is
// cached both ways and handed to every listener of the request.
#include <algorithm>
#include <sstream>

#include "contracts/sock_component.h"
#include "dns/dns_resolver.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"

namespace dns {
namespace {

using platform::Quietly;

bool IsDottedAddress(const std::string& text) { return contracts::TextToAddress(text) != contracts::kInvalidAddress; }

std::vector<std::string> SplitSpaces(const std::string& list) {
  std::vector<std::string> parts;
  std::istringstream in(list);
  for (std::string part; in >> part;) parts.push_back(part);
  return parts;
}

}  // namespace

void cDnsResolver::CompleteRequest(int32_t handle, const contracts::HostEntry* entry) {
  // An answer to a request this resolver does not know is not ours to cache.
  auto pending = pending_keys_.find(handle);
  if (pending == pending_keys_.end()) return;
  std::string key = std::move(pending->second);
  pending_keys_.erase(pending);

  Quietly([&] {
    service::WriteSystemLog("removing PendingLookupHandle " + std::to_string(pending_lookups_.Item(key)));
  });
  pending_lookups_.Remove(key);
  // A failure is remembered as empty text, but never replaces an answer
  // another lookup already found for the same text.
  resolved_cache_.Add(key, std::string());

  if (entry && entry->AddressCount() > 0) Quietly([&] { StoreHostEntry(key, *entry); });
  DispatchAnswer(handle, key);
}

void cDnsResolver::StoreHostEntry(std::string& key, const contracts::HostEntry& entry) {
  std::vector<std::string> found;
  for (int32_t i = 1; i <= entry.AddressCount(); ++i) found.push_back(contracts::AddressToText(entry.Address(i)));

  std::vector<std::string> listed = found;
  resolved_cache_.Remove(key);
  if (IsDottedAddress(key)) {
    // A reverse lookup: the answer is filed under the host's name, which may
    // already list more of its addresses than this one.
    key = entry.Name();
    if (resolved_cache_.Has(key)) {
      listed = SplitSpaces(resolved_cache_.Item(key));
      for (const auto& a : found) {
        if (std::find(listed.begin(), listed.end(), a) == listed.end()) listed.push_back(a);
      }
    }
  }
  std::string list;
  for (const auto& a : listed) {
    if (!list.empty()) list += ' ';
    list += a;
  }
  resolved_cache_.Set(key, list);
  for (const auto& a : found) resolved_cache_.Set(a, key);
}

void cDnsResolver::DispatchAnswer(int32_t handle, std::string key) {
  std::vector<Listener> listeners;
  if (auto it = listeners_.find(handle); it != listeners_.end()) {
    listeners = std::move(it->second);
    listeners_.erase(it);
  }
  std::string other;
  Quietly([&] { other = resolved_cache_.Item(key); });
  // The name always comes first.
  if (IsDottedAddress(key)) std::swap(key, other);
  for (const Listener& listener : listeners) {
    Quietly([&] { NotifyHostResolved(listener, key, other); });
  }
}

}  // namespace dns
