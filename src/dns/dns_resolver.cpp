#include "dns/dns_resolver.h"

#include <utility>

#include "contracts/sock_component.h"
#include "dns/dns_result.h"
#include "platform/basic/err.h"
#include "systemlog/system_log.h"

namespace dns {

using platform::Quietly;

// The socket component's events, passed on to the resolver while it lives.
class cDnsResolver::SockEvents : public contracts::dwSockNotify {
 public:
  explicit SockEvents(cDnsResolver* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  void HostResolved(int32_t handle, const contracts::HostEntry* entry) override {
    if (owner_) Quietly([&] { owner_->CompleteRequest(handle, entry); });
  }
  // A failed lookup completes like an answer without a host entry.
  void AsyncError(int32_t handle, int32_t /*error*/, const std::string& /*description*/) override {
    if (owner_) Quietly([&] { owner_->CompleteRequest(handle, nullptr); });
  }

 private:
  cDnsResolver* owner_;
};

cDnsResolver::cDnsResolver() : cDnsResolver(contracts::CreateSockComponent()) {}

cDnsResolver::cDnsResolver(std::unique_ptr<contracts::SockComponent> socket)
    : events_(std::make_shared<SockEvents>(this)), socket_(std::move(socket)) {
  if (socket_) socket_->RegisterNotify(events_);
}

cDnsResolver::~cDnsResolver() {
  events_->Detach();
  socket_.reset();
  service::WriteSystemLog("In cDnsResolver.Terminate");
}

void cDnsResolver::BeforeTerminate() {
  Quietly([&] {
    service::WriteSystemLog("cDnsResolver - Cancelling all " + std::to_string(pending_lookups_.Count()) +
                            " async socket requests");
  });
  std::vector<std::pair<std::string, int32_t>> cancelled(pending_lookups_.begin(), pending_lookups_.end());
  // Plain members, not structured bindings: clang before 16 cannot capture
  // those in a lambda, and the fuzz build uses clang.
  for (const auto& entry : cancelled) {
    const int32_t handle = entry.second;
    Quietly([&] {
      if (socket_) socket_->CancelRequest(handle);
    });
    Quietly([&] { service::WriteSystemLog("cDnsResolver -    Cancelled request " + std::to_string(handle)); });
  }
  // A cancelled lookup is forgotten: asking again starts a new one instead of
  // joining a request that will never be answered, and the blocking lookups
  // waiting on it give up.
  for (const auto& entry : cancelled) {
    const std::string& text = entry.first;
    const int32_t handle = entry.second;
    Quietly([&] {
      pending_lookups_.Remove(text);
      pending_keys_.erase(handle);
      auto it = listeners_.find(handle);
      if (it == listeners_.end()) return;
      for (const Listener& listener : it->second) {
        if (auto waiter = platform::com::QueryInterface<cDnsResult>(listener)) waiter->Abandon();
      }
      listeners_.erase(it);
    });
  }
  Quietly([&] { service::WriteSystemLog("cDnsResolver -  completed BeforeTerminate "); });
}

void cDnsResolver::Refresh(const std::string& hostname, const Listener& notify) {
  Quietly([&] {
    if (contracts::TextToAddress(hostname) != contracts::kInvalidAddress) return;
    resolved_cache_.Remove(hostname);
    std::string unused;
    ResolveHostname(hostname, unused, notify);
  });
}

std::string cDnsResolver::GetHostname(const std::string& ipaddress) {
  // Calls that run while this one waits may drop the caller's reference.
  auto keep_alive = weak_from_this().lock();
  auto result = std::make_shared<cDnsResult>();
  std::string unused;
  ResolveAddress(ipaddress, unused, result);
  Quietly([&] { result->WaitAtLeast(LongestLookup()); });
  return result->hostname();
}

std::string cDnsResolver::GetAddress(const std::string& hostname) {
  auto keep_alive = weak_from_this().lock();
  auto result = std::make_shared<cDnsResult>();
  std::string unused;
  ResolveHostname(hostname, unused, result);
  Quietly([&] { result->WaitAtLeast(LongestLookup()); });
  return result->ipaddress();
}

std::chrono::milliseconds cDnsResolver::LongestLookup() const {
  return socket_ ? socket_->LongestLookup() : std::chrono::milliseconds(0);
}

void cDnsResolver::AddListener(int32_t handle, const Listener& notify) {
  listeners_[handle].push_back(notify);  // even when empty: it is skipped at dispatch
}

}  // namespace dns
