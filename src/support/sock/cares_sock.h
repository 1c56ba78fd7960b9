// The socket component over c-ares: lookups run on the c-ares loop thread
// and their answers are posted to the threads that asked, where they reach
// the sink when the thread pumps, one answer per task: a sink that waits for
// another lookup while handling an answer sees that lookup's answer come.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "support/sock/cares_loop.h"
#include "support/sock/sock_component.h"

namespace support {

class CaresSock final : public SockComponent {
 public:
  explicit CaresSock(const SockConfig& config);
  ~CaresSock() override;

  void RegisterNotify(std::weak_ptr<dwSockNotify> sink) override;
  int32_t StartForwardLookup(std::string_view host_name) override;
  int32_t StartReverseLookup(int32_t address) override;
  void CancelRequest(int32_t handle) override;
  std::chrono::milliseconds LongestLookup() const override;

  // Why lookups cannot run (bad configuration); empty when they can.
  const std::string& setup_error() const { return loop_->setup_error(); }
  // Requests started and neither reported nor cancelled.
  size_t OutstandingCount() const;
  // Answers that arrived and wait for their thread to pump.
  size_t WaitingAnswerCount() const;

 private:
  class Requests;  // shared with the answers in flight

  std::shared_ptr<Requests> requests_;
  std::unique_ptr<CaresLoop> loop_;
};

}  // namespace support
