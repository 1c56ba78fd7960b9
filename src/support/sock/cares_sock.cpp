#include "support/sock/cares_sock.h"

#include <mutex>
#include <string>
#include <utility>

#include "platform/apartment/apartment.h"
#include "support/sock/request_table.h"

namespace support {

class CaresSock::Requests {
 public:
  RequestTable table;

  void SetSink(std::weak_ptr<dwSockNotify> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
  }

  // On the requesting thread: report the answer unless it was cancelled.
  void Deliver(const RequestTable::Ticket& ticket, const LookupResult& result) {
    if (!table.Finish(ticket)) return;
    std::shared_ptr<dwSockNotify> sink;
    {
      std::lock_guard lock(mutex_);
      sink = sink_.lock();
    }
    if (!sink) return;
    if (result.ok) {
      HostEntry entry(result.name, result.addresses);
      sink->HostResolved(ticket.handle, &entry);
    } else {
      sink->AsyncError(ticket.handle, result.error, result.description);
    }
  }

 private:
  std::mutex mutex_;
  std::weak_ptr<dwSockNotify> sink_;
};

CaresSock::CaresSock(const SockConfig& config)
    : requests_(std::make_shared<Requests>()), loop_(std::make_unique<CaresLoop>(config)) {}

// The loop goes first, so nothing posts after this; answers already posted
// find their request table gone and are dropped.
CaresSock::~CaresSock() { loop_.reset(); }

void CaresSock::RegisterNotify(std::weak_ptr<dwSockNotify> sink) { requests_->SetSink(std::move(sink)); }

CaresLoop::Done CaresSock::Begin(int32_t& handle) {
  RequestTable::Ticket ticket = requests_->table.Add();
  handle = ticket.handle;
  std::weak_ptr<Requests> requests = requests_;
  platform::ApartmentPtr apartment = platform::Apartment::Current();
  return [requests, apartment, ticket](LookupResult result) {
    apartment->Post([requests, ticket, result = std::move(result)] {
      if (auto alive = requests.lock()) alive->Deliver(ticket, result);
    });
  };
}

int32_t CaresSock::StartForwardLookup(std::string_view host_name) {
  int32_t handle = 0;
  CaresLoop::Done done = Begin(handle);
  loop_->Forward(std::string(host_name), std::move(done));
  return handle;
}

int32_t CaresSock::StartReverseLookup(int32_t address) {
  int32_t handle = 0;
  CaresLoop::Done done = Begin(handle);
  loop_->Reverse(address, std::move(done));
  return handle;
}

void CaresSock::CancelRequest(int32_t handle) { requests_->table.Cancel(handle); }

size_t CaresSock::OutstandingCount() const { return requests_->table.size(); }

std::unique_ptr<SockComponent> CreateSockComponent(const SockConfig& config) {
  return std::make_unique<CaresSock>(config);
}

std::unique_ptr<SockComponent> CreateSockComponent() { return CreateSockComponent(ReadSockConfig()); }

}  // namespace support
