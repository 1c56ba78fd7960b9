// One c-ares channel driven on a thread of its own: lookups are queued from
// any thread, each with a tag of the caller's, and the results of every turn
// of the loop are handed over together, on the loop's thread. The hosts file
// is consulted here, from memory (hosts_file.h), in the configured order
// with DNS, which c-ares asks.
#pragma once

#include <chrono>
#include <ares.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/sock/hosts_file.h"
#include "support/sock/lookup_result.h"
#include "support/sock/sock_config.h"

namespace support {

class CaresLoop {
 public:
  struct Completion {
    uint64_t tag;
    LookupResult result;
  };
  // Called on the loop thread with the lookups that finished in one turn.
  using Deliver = std::function<void(std::vector<Completion>& finished)>;

  CaresLoop(const SockConfig& config, Deliver deliver);
  ~CaresLoop();  // drops lookups still running; their callbacks are not called

  // Tests: loops made from now on go without their wake-up, as when the
  // process has no file descriptor left for it.
  static void FailWakeUpForTesting(bool fail);
  CaresLoop(const CaresLoop&) = delete;
  CaresLoop& operator=(const CaresLoop&) = delete;

  // Why the channel could not be set up (then every lookup fails); empty when
  // it is fine.
  const std::string& setup_error() const { return setup_error_; }
  // The longest c-ares may take to give up on a lookup with the channel's
  // servers, tries and timeout (each round over the servers waits twice as
  // long as the one before).
  std::chrono::milliseconds longest_lookup() const { return longest_lookup_; }

  void Forward(std::string name, uint64_t tag);
  void Reverse(int32_t address, uint64_t tag);

 private:
  struct Command {
    bool reverse = false;
    std::string name;
    int32_t address = 0;
    uint64_t tag = 0;
  };
  struct Pending {
    CaresLoop* loop;
    Command command;
    bool file_after;  // the hosts file comes after DNS
  };

  void InitChannel(const SockConfig& config);
  void Queue(Command command);
  void Run();
  void Start(const Command& command);
  std::optional<LookupResult> FromHostsFile(const Command& command) const;
  void Finish(uint64_t tag, LookupResult result) { finished_.push_back({tag, std::move(result)}); }
  static void OnSocketState(void* data, ares_socket_t fd, int readable, int writable);
  static void OnHost(void* arg, int status, int timeouts, hostent* host);

  Deliver deliver_;
  std::string lookups_;
  HostsFile hosts_;
  ares_channel channel_ = nullptr;
  std::chrono::milliseconds longest_lookup_{0};
  std::string setup_error_;
  int wake_ = -1;  // eventfd: commands queued or stop asked
  std::mutex mutex_;
  std::vector<Command> commands_;
  bool stop_ = false;
  bool sleeping_ = false;  // the loop is (about to be) blocked in poll
  // Loop thread only.
  std::map<ares_socket_t, short> sockets_;  // poll events each socket wants
  std::vector<Completion> finished_;        // this turn's results
  std::thread thread_;
};

// The Winsock error number a c-ares status stands for.
int32_t WinsockErrorOf(int ares_status);

}  // namespace support
