#include "support/sock/testing/loopback_dns_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace dns_testing {
namespace {

constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypePtr = 12;
constexpr uint16_t kClassIn = 1;
constexpr uint32_t kTtl = 60;

std::string Key(std::string_view name) {
  std::string key(name);
  while (!key.empty() && key.back() == '.') key.pop_back();
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}

uint32_t ParseAddress(std::string_view dotted) {
  in_addr addr{};
  if (inet_pton(AF_INET, std::string(dotted).c_str(), &addr) != 1) {
    throw std::invalid_argument("not a dotted address: " + std::string(dotted));
  }
  return ntohl(addr.s_addr);
}

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v & 0xff));
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v & 0xffff));
}

uint16_t Get16(std::string_view in, size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(in[at]) << 8) | static_cast<uint8_t>(in[at + 1]));
}

// A name in wire form (labels, no compression).
std::string EncodeName(std::string_view name) {
  std::string out;
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string_view::npos) dot = name.size();
    size_t len = std::min<size_t>(dot - start, 63);
    out.push_back(static_cast<char>(len));
    out.append(name.substr(start, len));
    start = dot + 1;
  }
  out.push_back('\0');
  return out;
}

// "4.3.2.1.in-addr.arpa" -> "1.2.3.4"; empty when the name is not of that form.
std::string ReverseNameToAddress(const std::string& name) {
  static constexpr std::string_view kSuffix = ".in-addr.arpa";
  if (name.size() <= kSuffix.size() || name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return {};
  }
  std::string_view labels(name.data(), name.size() - kSuffix.size());
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= labels.size()) {
    size_t dot = labels.find('.', start);
    if (dot == std::string_view::npos) dot = labels.size();
    parts.push_back(labels.substr(start, dot - start));
    start = dot + 1;
  }
  if (parts.size() != 4) return {};
  return std::string(parts[3]) + "." + std::string(parts[2]) + "." + std::string(parts[1]) + "." +
         std::string(parts[0]);
}

}  // namespace

LoopbackDnsResponder::LoopbackDnsResponder() {
  socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) throw std::runtime_error("responder: socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof(addr);
  if (::bind(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(socket_);
    throw std::runtime_error("responder: cannot bind 127.0.0.1");
  }
  // Bursts of a thousand questions must not be dropped by a small buffer.
  int buffer = 4 << 20;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
  port_ = ntohs(addr.sin_port);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackDnsResponder::~LoopbackDnsResponder() {
  uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wake_, &one, sizeof(one));
  thread_.join();
  ::close(wake_);
  ::close(socket_);
}

std::string LoopbackDnsResponder::ServerCsv() const { return "127.0.0.1:" + std::to_string(port_); }

void LoopbackDnsResponder::AddHost(std::string_view name, const std::vector<std::string>& addresses) {
  std::lock_guard lock(mutex_);
  Entry& entry = table_[Key(name)];
  entry.has_rcode = false;
  entry.silent = false;
  for (const auto& a : addresses) {
    entry.addresses.push_back(ParseAddress(a));
    Entry& reverse = table_[Key(a)];
    if (reverse.ptr.empty()) reverse.ptr = std::string(name);
  }
}

void LoopbackDnsResponder::AddPtr(std::string_view address, std::string_view name) {
  ParseAddress(address);
  std::lock_guard lock(mutex_);
  table_[Key(address)].ptr = std::string(name);
}

void LoopbackDnsResponder::Fail(std::string_view name, Rcode rcode) {
  std::lock_guard lock(mutex_);
  Entry& entry = table_[Key(name)];
  entry.has_rcode = true;
  entry.rcode = rcode;
}

void LoopbackDnsResponder::Ignore(std::string_view name) {
  std::lock_guard lock(mutex_);
  table_[Key(name)].silent = true;
}

void LoopbackDnsResponder::SetDefault(Rcode rcode) {
  std::lock_guard lock(mutex_);
  default_rcode_ = rcode;
}

void LoopbackDnsResponder::IgnoreUnknown(bool ignore) {
  std::lock_guard lock(mutex_);
  ignore_unknown_ = ignore;
}

int LoopbackDnsResponder::QueryCount(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = counts_.find(Key(name));
  return it == counts_.end() ? 0 : it->second;
}

void LoopbackDnsResponder::Serve() {
  pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
  char buffer[1500];
  for (;;) {
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    // Drain everything queued before polling again.
    for (;;) {
      sockaddr_in from{};
      socklen_t from_len = sizeof(from);
      ssize_t n = ::recvfrom(socket_, buffer, sizeof(buffer), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                             &from_len);
      if (n <= 0) break;
      std::string reply = Answer(std::string_view(buffer, static_cast<size_t>(n)));
      if (!reply.empty()) {
        ::sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), from_len);
      }
    }
  }
}

std::string LoopbackDnsResponder::Answer(std::string_view query) {
  if (query.size() < 12 || Get16(query, 4) != 1) return {};
  // The question: labels up to the root, then type and class.
  std::string name;
  size_t at = 12;
  while (at < query.size() && query[at] != 0) {
    size_t len = static_cast<uint8_t>(query[at]);
    if (len > 63 || at + 1 + len >= query.size()) return {};
    if (!name.empty()) name.push_back('.');
    name.append(query.substr(at + 1, len));
    at += 1 + len;
  }
  if (at + 5 > query.size()) return {};
  size_t question_end = at + 5;
  uint16_t qtype = Get16(query, at + 1);
  name = Key(name);
  total_queries_.fetch_add(1);

  std::string key = name;
  if (qtype == kTypePtr) {
    std::string address = ReverseNameToAddress(name);
    if (!address.empty()) key = address;
  }

  Rcode rcode = Rcode::kNoError;
  std::vector<std::string> records;  // rdata of each answer
  uint16_t answer_type = qtype;
  {
    std::lock_guard lock(mutex_);
    ++counts_[key];
    auto it = table_.find(key);
    if (it == table_.end()) {
      if (ignore_unknown_) return {};
      rcode = default_rcode_;
    } else if (it->second.silent) {
      return {};
    } else if (it->second.has_rcode) {
      rcode = it->second.rcode;
    } else if (qtype == kTypeA) {
      for (uint32_t a : it->second.addresses) {
        std::string rdata;
        Put32(rdata, a);
        records.push_back(rdata);
      }
    } else if (qtype == kTypePtr && !it->second.ptr.empty()) {
      records.push_back(EncodeName(it->second.ptr));
    }
  }

  std::string reply;
  Put16(reply, Get16(query, 0));                                    // id
  uint16_t flags = 0x8000 | (Get16(query, 2) & 0x7900) | 0x0400 | 0x0080 | static_cast<uint16_t>(rcode);
  Put16(reply, flags);                                              // QR, opcode, AA, RD, RA
  Put16(reply, 1);
  Put16(reply, static_cast<uint16_t>(records.size()));
  Put16(reply, 0);
  Put16(reply, 0);
  reply.append(query.substr(12, question_end - 12));
  for (const auto& rdata : records) {
    Put16(reply, 0xC00C);  // the question's name
    Put16(reply, answer_type);
    Put16(reply, kClassIn);
    Put32(reply, kTtl);
    Put16(reply, static_cast<uint16_t>(rdata.size()));
    reply.append(rdata);
  }
  return reply;
}

}  // namespace dns_testing
