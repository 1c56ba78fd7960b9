#include "support/sock/cares_sock.h"

#include <deque>
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

  // On the loop thread: hands each answer to the apartment of its request.
  // Answers wait in one mailbox per apartment; a delivery task is posted only
  // when none is queued there yet, and each task delivers one answer.
  void PostAnswers(std::vector<CaresLoop::Completion>& finished) {
    std::vector<platform::ApartmentPtr> to_post;
    std::vector<RequestTable::Ticket> undeliverable;
    {
      std::lock_guard lock(mutex_);
      for (auto& completion : finished) {
        auto it = routes_.find(completion.tag);
        if (it == routes_.end()) continue;
        RequestTable::Ticket ticket{it->second.handle, completion.tag};
        platform::ApartmentPtr apartment = std::move(it->second.apartment);
        routes_.erase(it);
        if (!apartment->IsOpen()) {
          undeliverable.push_back(ticket);  // the thread that asked has ended
          continue;
        }
        auto [box, fresh] = mailboxes_.try_emplace(apartment.get());
        if (fresh) {
          box->second.apartment = apartment;
          to_post.push_back(std::move(apartment));
        }
        box->second.answers.emplace_back(ticket, std::move(completion.result));
      }
    }
    for (const auto& apartment : to_post) PostDelivery(apartment);
    for (const auto& ticket : undeliverable) table.Finish(ticket);
  }

  // Answers waiting in mailboxes, not yet handed to their sink.
  size_t WaitingCount() {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const auto& [key, box] : mailboxes_) count += box.answers.size();
    return count;
  }

 private:
  struct Route {
    int32_t handle;
    platform::ApartmentPtr apartment;
  };
  struct Mailbox {
    platform::ApartmentPtr apartment;  // keeps the key's address from being reused
    std::deque<std::pair<RequestTable::Ticket, LookupResult>> answers;
  };

  // On the apartment's thread: the first answer waiting for it. When more
  // wait, the next delivery is posted before this one is handed over, so a
  // listener that waits (pumping) for one of them sees it arrive.
  void DeliverMailbox(platform::Apartment* key) {
    std::pair<RequestTable::Ticket, LookupResult> answer;
    platform::ApartmentPtr apartment;
    {
      std::lock_guard lock(mutex_);
      auto it = mailboxes_.find(key);
      if (it == mailboxes_.end() || it->second.answers.empty()) return;
      answer = std::move(it->second.answers.front());
      it->second.answers.pop_front();
      if (it->second.answers.empty()) {
        mailboxes_.erase(it);
      } else {
        apartment = it->second.apartment;
      }
    }
    if (apartment) PostDelivery(apartment);
    Deliver(answer.first, answer.second);
  }

  // Queues the delivery of the apartment's mailbox. When the apartment takes
  // no more tasks (its thread ended), the answers waiting there are finished
  // unreported.
  void PostDelivery(const platform::ApartmentPtr& apartment) {
    std::weak_ptr<Requests> self = weak_from_this();
    platform::Apartment* key = apartment.get();
    bool posted = apartment->Post([self, key] {
      // The component may have gone while the answers were on their way.
      if (auto alive = self.lock()) alive->DeliverMailbox(key);
    });
    if (posted) return;
    std::vector<RequestTable::Ticket> undeliverable;
    {
      std::lock_guard lock(mutex_);
      auto it = mailboxes_.find(key);
      if (it == mailboxes_.end()) return;
      for (const auto& waiting : it->second.answers) undeliverable.push_back(waiting.first);
      mailboxes_.erase(it);
    }
    for (const auto& ticket : undeliverable) table.Finish(ticket);
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

  std::mutex mutex_;
  std::weak_ptr<dwSockNotify> sink_;
  std::unordered_map<uint64_t, Route> routes_;  // serial -> where its answer goes
  // Apartments with a delivery task queued, and what it is to deliver.
  std::unordered_map<platform::Apartment*, Mailbox> mailboxes_;
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

std::chrono::milliseconds CaresSock::LongestLookup() const { return loop_->longest_lookup(); }

size_t CaresSock::OutstandingCount() const { return requests_->table.size(); }

size_t CaresSock::WaitingAnswerCount() const { return requests_->WaitingCount(); }

std::unique_ptr<SockComponent> CreateSockComponent(const SockConfig& config) {
  return std::make_unique<CaresSock>(config);
}

std::unique_ptr<SockComponent> CreateSockComponent() { return CreateSockComponent(ReadSockConfig()); }

}  // namespace support

namespace contracts {

std::unique_ptr<SockComponent> CreateSockComponent() { return support::CreateSockComponent(); }

}  // namespace contracts
