#include "support/sock/cares_sock.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/apartment/apartment.h"
#include "support/sock/request_table.h"

namespace support {

class CaresSock::Requests : public std::enable_shared_from_this<Requests> {
 public:
  RequestTable table;

  void SetSink(std::weak_ptr<dwSockNotify> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
  }

  // A new request of the calling thread; its serial tags the lookup.
  RequestTable::Ticket Begin() {
    RequestTable::Ticket ticket = table.Add();
    std::lock_guard lock(mutex_);
    routes_[ticket.serial] = Route{ticket.handle, platform::Apartment::Current()};
    return ticket;
  }

  // On the loop thread: hands each answer to the apartment of its request,
  // all of one apartment's answers in one task.
  void PostAnswers(std::vector<CaresLoop::Completion>& finished) {
    struct Batch {
      platform::ApartmentPtr apartment;
      std::vector<std::pair<RequestTable::Ticket, LookupResult>> answers;
    };
    std::vector<Batch> batches;
    {
      std::lock_guard lock(mutex_);
      for (auto& completion : finished) {
        auto it = routes_.find(completion.tag);
        if (it == routes_.end()) continue;
        RequestTable::Ticket ticket{it->second.handle, completion.tag};
        platform::ApartmentPtr apartment = std::move(it->second.apartment);
        routes_.erase(it);
        Batch* batch = nullptr;
        for (auto& b : batches) {
          if (b.apartment == apartment) batch = &b;
        }
        if (!batch) batch = &batches.emplace_back(Batch{std::move(apartment), {}});
        batch->answers.emplace_back(ticket, std::move(completion.result));
      }
    }
    std::weak_ptr<Requests> self = weak_from_this();
    for (auto& batch : batches) {
      std::vector<RequestTable::Ticket> tickets;
      for (const auto& answer : batch.answers) tickets.push_back(answer.first);
      bool posted = batch.apartment->Post([self, answers = std::move(batch.answers)] {
        for (const auto& [ticket, result] : answers) {
          // The component may have gone while the answers were on their way.
          auto alive = self.lock();
          if (!alive) return;
          alive->Deliver(ticket, result);
        }
      });
      // The thread that asked has ended: nobody is left to tell.
      if (!posted) {
        for (const auto& ticket : tickets) table.Finish(ticket);
      }
    }
  }

 private:
  struct Route {
    int32_t handle;
    platform::ApartmentPtr apartment;
  };

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

  std::mutex mutex_;
  std::weak_ptr<dwSockNotify> sink_;
  std::unordered_map<uint64_t, Route> routes_;  // serial -> where its answer goes
};

CaresSock::CaresSock(const SockConfig& config) : requests_(std::make_shared<Requests>()) {
  // The loop holds the requests weakly: once the component is gone, answers
  // that finish are dropped.
  std::weak_ptr<Requests> requests = requests_;
  loop_ = std::make_unique<CaresLoop>(config, [requests](std::vector<CaresLoop::Completion>& finished) {
    if (auto alive = requests.lock()) alive->PostAnswers(finished);
  });
}

// The loop goes first, so nothing is posted after this; answers already
// posted find the requests gone and are dropped.
CaresSock::~CaresSock() { loop_.reset(); }

void CaresSock::RegisterNotify(std::weak_ptr<dwSockNotify> sink) { requests_->SetSink(std::move(sink)); }

int32_t CaresSock::StartForwardLookup(std::string_view host_name) {
  RequestTable::Ticket ticket = requests_->Begin();
  loop_->Forward(std::string(host_name), ticket.serial);
  return ticket.handle;
}

int32_t CaresSock::StartReverseLookup(int32_t address) {
  RequestTable::Ticket ticket = requests_->Begin();
  loop_->Reverse(address, ticket.serial);
  return ticket.handle;
}

void CaresSock::CancelRequest(int32_t handle) { requests_->table.Cancel(handle); }

size_t CaresSock::OutstandingCount() const { return requests_->table.size(); }

std::unique_ptr<SockComponent> CreateSockComponent(const SockConfig& config) {
  return std::make_unique<CaresSock>(config);
}

std::unique_ptr<SockComponent> CreateSockComponent() { return CreateSockComponent(ReadSockConfig()); }

}  // namespace support
