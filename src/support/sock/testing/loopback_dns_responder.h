// A small DNS server on 127.0.0.1 for tests and benchmarks: it answers A and
// PTR questions from a table the caller fills, and can be told to fail a name
// (NXDOMAIN, SERVFAIL, REFUSED) or to leave it unanswered. Nothing it does
// leaves this machine.
//
//   dns_testing::LoopbackDnsResponder dns;
//   dns.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
//   dns.Fail("broken.test", dns_testing::Rcode::kServFail);
//   // point the resolver at dns.ServerCsv(), e.g. "127.0.0.1:40123"
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace dns_testing {

enum class Rcode : uint8_t {
  kNoError = 0,
  kServFail = 2,
  kNxDomain = 3,
  kRefused = 5,
};

class LoopbackDnsResponder {
 public:
  // Binds an ephemeral UDP port on 127.0.0.1 and starts answering.
  LoopbackDnsResponder();
  ~LoopbackDnsResponder();
  LoopbackDnsResponder(const LoopbackDnsResponder&) = delete;
  LoopbackDnsResponder& operator=(const LoopbackDnsResponder&) = delete;

  uint16_t port() const { return port_; }
  // "127.0.0.1:<port>", the form the resolver's server list takes.
  std::string ServerCsv() const;

  // A records for `name`, in this order (after any it has already; a failure
  // or silence set for it ends), and a PTR record from each address
  // back to `name` unless one was already set. Names are matched without
  // regard to case, with or without a trailing dot.
  void AddHost(std::string_view name, const std::vector<std::string>& addresses);
  // A PTR record: `address` (dotted) answers `name`.
  void AddPtr(std::string_view address, std::string_view name);
  // Questions about `name` (a host name, or a dotted address for PTR) are
  // answered with `rcode` and no records.
  void Fail(std::string_view name, Rcode rcode);
  // Questions about `name` are read and never answered.
  void Ignore(std::string_view name);
  // What a name that is not in the table gets (NXDOMAIN unless changed);
  // kNoError answers with no records.
  void SetDefault(Rcode rcode);
  // Every question that is not explicitly answered or failed goes unanswered.
  void IgnoreUnknown(bool ignore);

  // How many questions arrived for `name` (host name, or dotted address for
  // PTR questions), and in all.
  int QueryCount(std::string_view name) const;
  int TotalQueries() const { return total_queries_.load(); }

 private:
  struct Entry {
    std::vector<uint32_t> addresses;  // A records, host order
    std::string ptr;                  // PTR target, empty when none
    bool has_rcode = false;
    Rcode rcode = Rcode::kNoError;
    bool silent = false;
  };

  void Serve();
  // The reply to one datagram; empty when it is to go unanswered.
  std::string Answer(std::string_view query);

  int socket_ = -1;
  int wake_ = -1;  // eventfd that stops Serve
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> table_;  // lower-case name or dotted address
  std::map<std::string, int> counts_;
  Rcode default_rcode_ = Rcode::kNxDomain;
  bool ignore_unknown_ = false;
  std::atomic<int> total_queries_{0};
  std::thread thread_;
};

}  // namespace dns_testing
