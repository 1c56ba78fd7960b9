#include "support/sock/cares_loop.h"

#include <algorithm>
#include <atomic>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

namespace support {
namespace {

constexpr int32_t kWsaHostNotFound = 11001;
constexpr int32_t kWsaTryAgain = 11002;
constexpr int32_t kWsaNoRecovery = 11003;
constexpr int32_t kWsaNoData = 11004;
constexpr int kReceiveBuffer = 1 << 20;
// Questions started per turn of the loop, so that answers are read while a
// long burst is still being sent.
constexpr size_t kStartsPerTurn = 16;

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

// DNS carries at most 253 characters in a name (255 octets on the wire) and
// 63 in a label; anything longer, or empty, never leaves the machine.
bool IsValidQueryName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string_view::npos) dot = name.size();
    size_t len = dot - start;
    if (len == 0 || len > 63) return false;
    start = dot + 1;
  }
  return true;
}

bool IsValidLookups(const std::string& lookups) {
  if (lookups.empty()) return false;
  for (char c : lookups) {
    if (c != 'f' && c != 'b') return false;
  }
  return true;
}

LookupResult Failure(int status, std::string description) {
  LookupResult result;
  result.error = WinsockErrorOf(status);
  result.description = std::move(description);
  return result;
}

}  // namespace

int32_t WinsockErrorOf(int ares_status) {
  switch (ares_status) {
    case ARES_ENOTFOUND:
    case ARES_EBADNAME:
    case ARES_ENONAME:
      return kWsaHostNotFound;
    case ARES_ENODATA:
      return kWsaNoData;
    case ARES_ESERVFAIL:
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED:
      return kWsaTryAgain;
    default:
      return kWsaNoRecovery;
  }
}

namespace {
constexpr int kPollWithoutWakeMs = 20;
std::atomic<bool> fail_wake_up{false};
}  // namespace

void CaresLoop::FailWakeUpForTesting(bool fail) { fail_wake_up = fail; }

CaresLoop::CaresLoop(const SockConfig& config, Deliver deliver)
    : deliver_(std::move(deliver)), lookups_(config.lookups), hosts_(config.hosts) {
  InitLibraryOnce();
  wake_ = fail_wake_up ? -1 : ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

  if (!IsValidLookups(config.lookups)) {
    setup_error_ = "bad lookup order \"" + config.lookups + "\" (letters f and b)";
  } else {
    InitChannel(config);
  }
  thread_ = std::thread([this] { Run(); });
}

CaresLoop::~CaresLoop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  uint64_t one = 1;
  if (wake_ >= 0) [[maybe_unused]] auto written = ::write(wake_, &one, sizeof(one));
  thread_.join();
  if (wake_ >= 0) ::close(wake_);
}

void CaresLoop::InitChannel(const SockConfig& config) {
  ares_options options{};
  int mask = ARES_OPT_SOCK_STATE_CB | ARES_OPT_LOOKUPS | ARES_OPT_SOCK_RCVBUF;
  // Room for the answers of a burst of questions that arrive together.
  options.socket_receive_buffer_size = kReceiveBuffer;
  options.sock_state_cb = &CaresLoop::OnSocketState;
  options.sock_state_cb_data = this;
  // The hosts file is read here, not by c-ares.
  char dns_only[] = "b";
  options.lookups = dns_only;
  if (config.timeout_ms > 0) {
    options.timeout = config.timeout_ms;
    mask |= ARES_OPT_TIMEOUTMS;
  }
  if (config.tries > 0) {
    options.tries = config.tries;
    mask |= ARES_OPT_TRIES;
  }
  if (!config.servers.empty()) {
    // Servers of our own choosing: names are asked as given, never with the
    // search domains of the system's resolv.conf appended.
    options.ndomains = 0;
    options.domains = nullptr;
    mask |= ARES_OPT_DOMAINS;
  }
  int status = ares_init_options(&channel_, &options, mask);
  if (status != ARES_SUCCESS) {
    setup_error_ = std::string("c-ares initialisation failed: ") + ares_strerror(status);
    channel_ = nullptr;
    return;
  }
  if (!config.servers.empty()) {
    status = ares_set_servers_ports_csv(channel_, config.servers.c_str());
    if (status != ARES_SUCCESS) {
      // Never fall back to servers other than the ones configured.
      setup_error_ = "bad DNS server list \"" + config.servers + "\": " + ares_strerror(status);
      ares_destroy(channel_);
      channel_ = nullptr;
      return;
    }
  }
  ares_options saved{};
  int saved_mask = 0;
  if (ares_save_options(channel_, &saved, &saved_mask) == ARES_SUCCESS) {
    const long long timeout = saved.timeout > 0 ? saved.timeout : 0;  // milliseconds with ARES_OPT_TIMEOUTMS
    const int tries = std::clamp(saved.tries, 1, 16);
    // The saved options leave out servers on other ports: count them here.
    long long servers = 0;
    ares_addr_port_node* list = nullptr;
    if (ares_get_servers_ports(channel_, &list) == ARES_SUCCESS) {
      for (const ares_addr_port_node* node = list; node != nullptr; node = node->next) ++servers;
      ares_free_data(list);
    }
    servers = std::max(servers, 1LL);
    longest_lookup_ = std::chrono::milliseconds(servers * timeout * ((1LL << tries) - 1));
    ares_destroy_options(&saved);
  }
}

void CaresLoop::Forward(std::string name, uint64_t tag) {
  Command command;
  command.name = std::move(name);
  command.tag = tag;
  Queue(std::move(command));
}

void CaresLoop::Reverse(int32_t address, uint64_t tag) {
  Command command;
  command.reverse = true;
  command.address = address;
  command.tag = tag;
  Queue(std::move(command));
}

void CaresLoop::Queue(Command command) {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    commands_.push_back(std::move(command));
    // A loop that is not asleep looks at the queue before it sleeps again.
    wake = sleeping_;
    sleeping_ = false;
  }
  if (wake && wake_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wake_, &one, sizeof(one));
  }
}

std::optional<LookupResult> CaresLoop::FromHostsFile(const Command& command) const {
  return command.reverse ? hosts_.Reverse(command.address) : hosts_.Forward(command.name);
}

void CaresLoop::Start(const Command& command) {
  if (!command.reverse && !IsValidQueryName(command.name)) {
    Finish(command.tag, Failure(ARES_EBADNAME, "not a valid host name"));
    return;
  }
  for (size_t i = 0; i < lookups_.size(); ++i) {
    if (lookups_[i] == 'f') {
      if (auto found = FromHostsFile(command)) {
        Finish(command.tag, std::move(*found));
        return;
      }
      continue;
    }
    if (!channel_) {
      Finish(command.tag, Failure(ARES_ENOTINITIALIZED, setup_error_));
      return;
    }
    auto* pending = new Pending{this, command, lookups_.find('f', i + 1) != std::string::npos};
    if (command.reverse) {
      in_addr addr{};
      addr.s_addr = htonl(static_cast<uint32_t>(command.address));
      ares_gethostbyaddr(channel_, &addr, sizeof(addr), AF_INET, &CaresLoop::OnHost, pending);
    } else {
      ares_gethostbyname(channel_, command.name.c_str(), AF_INET, &CaresLoop::OnHost, pending);
    }
    return;
  }
  Finish(command.tag, Failure(ARES_ENOTFOUND, "not in the hosts file"));
}

void CaresLoop::OnSocketState(void* data, ares_socket_t fd, int readable, int writable) {
  auto* self = static_cast<CaresLoop*>(data);
  if (!readable && !writable) {
    self->sockets_.erase(fd);
  } else {
    self->sockets_[fd] = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
  }
}

void CaresLoop::OnHost(void* arg, int status, int /*timeouts*/, hostent* host) {
  std::unique_ptr<Pending> pending(static_cast<Pending*>(arg));
  const uint64_t tag = pending->command.tag;
  if (status == ARES_EDESTRUCTION || status == ARES_ECANCELLED) return;
  if (status != ARES_SUCCESS || host == nullptr) {
    if (pending->file_after) {
      if (auto found = pending->loop->FromHostsFile(pending->command)) {
        pending->loop->Finish(tag, std::move(*found));
        return;
      }
    }
    pending->loop->Finish(tag, Failure(status, ares_strerror(status)));
    return;
  }
  LookupResult result;
  result.ok = true;
  if (host->h_name) result.name = host->h_name;
  if (host->h_addrtype == AF_INET && host->h_length == 4) {
    for (char** p = host->h_addr_list; p && *p; ++p) {
      uint32_t network;
      std::memcpy(&network, *p, sizeof(network));
      result.addresses.push_back(static_cast<int32_t>(ntohl(network)));
    }
  }
  pending->loop->Finish(tag, std::move(result));
}

void CaresLoop::Run() {
  std::vector<pollfd> fds;
  std::deque<Command> backlog;
  for (;;) {
    fds.clear();
    fds.push_back({wake_, POLLIN, 0});
    for (const auto& [fd, events] : sockets_) fds.push_back({fd, events, 0});
    int timeout_ms = -1;
    timeval tv{};
    if (!backlog.empty()) {
      timeout_ms = 0;
    } else if (channel_ && ares_timeout(channel_, nullptr, &tv) != nullptr) {
      timeout_ms = static_cast<int>(tv.tv_sec * 1000 + (tv.tv_usec + 999) / 1000);
    }
    if (timeout_ms != 0) {
      std::lock_guard lock(mutex_);
      if (!commands_.empty() || stop_) {
        timeout_ms = 0;
      } else {
        sleeping_ = true;
      }
    }
    // Without its wake-up (no file descriptor was left for it) the loop
    // looks for new questions and the stop now and then instead of sleeping
    // until they could never wake it.
    if (wake_ < 0 && (timeout_ms < 0 || timeout_ms > kPollWithoutWakeMs)) timeout_ms = kPollWithoutWakeMs;
    ::poll(fds.data(), fds.size(), timeout_ms);

    if (fds[0].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] auto got = ::read(wake_, &count, sizeof(count));
    }
    {
      std::lock_guard lock(mutex_);
      sleeping_ = false;
      if (stop_) break;
      for (auto& command : commands_) backlog.push_back(std::move(command));
      commands_.clear();
    }
    if (!backlog.empty()) hosts_.Refresh();
    for (size_t started = 0; started < kStartsPerTurn && !backlog.empty(); ++started) {
      Start(backlog.front());
      backlog.pop_front();
    }

    if (channel_) {
      for (size_t i = 1; i < fds.size(); ++i) {
        short got = fds[i].revents;
        if (!got) continue;
        ares_socket_t read_fd = (got & (POLLIN | POLLERR | POLLHUP)) ? fds[i].fd : ARES_SOCKET_BAD;
        ares_socket_t write_fd = (got & POLLOUT) ? fds[i].fd : ARES_SOCKET_BAD;
        ares_process_fd(channel_, read_fd, write_fd);
      }
      // Retries and timeouts.
      ares_process_fd(channel_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
    }
    if (!finished_.empty()) {
      deliver_(finished_);
      finished_.clear();
    }
  }
  if (channel_) ares_destroy(channel_);
  channel_ = nullptr;
}

}  // namespace support
