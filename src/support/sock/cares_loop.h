// One c-ares channel driven on a thread of its own: lookups are queued from
// any thread, each with a tag of the caller's, and the results of every turn
// of the loop are handed over together, on the loop's thread.
#pragma once

#include <ares.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/sock/sock_config.h"

namespace support {

struct LookupResult {
  bool ok = false;
  std::string name;                // official host name
  std::vector<int32_t> addresses;  // as dotted_address.h numbers
  int32_t error = 0;               // Winsock number when !ok
  std::string description;         // what went wrong when !ok
};

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
  CaresLoop(const CaresLoop&) = delete;
  CaresLoop& operator=(const CaresLoop&) = delete;

  // Why the channel could not be set up (then every lookup fails); empty when
  // it is fine.
  const std::string& setup_error() const { return setup_error_; }

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
    uint64_t tag;
  };

  void InitChannel(const SockConfig& config);
  void Queue(Command command);
  void Run();
  void Start(const Command& command);
  void Finish(uint64_t tag, LookupResult result) { finished_.push_back({tag, std::move(result)}); }
  static void OnSocketState(void* data, ares_socket_t fd, int readable, int writable);
  static void OnHost(void* arg, int status, int timeouts, hostent* host);

  Deliver deliver_;
  ares_channel channel_ = nullptr;
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
