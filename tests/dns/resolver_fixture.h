// What the resolver tests share: a fresh machine root whose configuration
// points the resolver at a loopback DNS responder, a listener that records
// what it hears, and the system log's messages.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dns/dns_resolver.h"
#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "support/sock/testing/loopback_dns_responder.h"
#include "testing/temp_root.h"
#include "typelib/host_resolved.h"

namespace dns {

struct Heard {
  std::string listener;
  std::string hostname;
  std::string ipaddress;
  std::thread::id thread;
};

// Appends what it hears, under its own name, to a list shared by listeners.
class Recorder : public typelib::IHostResolved {
 public:
  Recorder(std::string name, std::vector<Heard>* heard, bool fail = false)
      : name_(std::move(name)), heard_(heard), fail_(fail) {}
  platform::Variant HostResolved(const std::string& hostname, const std::string& ipaddress) override {
    heard_->push_back({name_, hostname, ipaddress, std::this_thread::get_id()});
    if (fail_) platform::RaiseError(5, "listener failed");
    return {};
  }

 private:
  std::string name_;
  std::vector<Heard>* heard_;
  bool fail_;
};

class DnsResolverTest : public ::testing::Test {
 protected:
  // A silent responder is given up on after `timeout_ms` (one try).
  void SetUpRoot(int timeout_ms) {
    platform::SetMachineRoot(root_.path());
    testing_support::WriteFileBytes(root_ / "machine.conf", "dns.servers = " + dns_.ServerCsv() +
                                                                "\ndns.timeout = " + std::to_string(timeout_ms) +
                                                                "\ndns.tries = 1\n");
  }
  // Long enough that a loaded machine never turns a slow answer into a
  // timeout; tests of silence set their own.
  void SetUp() override { SetUpRoot(5000); }
  void TearDown() override { platform::SetMachineRoot({}); }

  std::shared_ptr<Recorder> Listen(const std::string& name, bool fail = false) {
    return std::make_shared<Recorder>(name, &heard_, fail);
  }

  // Pumps this thread until `count` answers were heard; false after 10 s.
  bool PumpUntilHeard(size_t count);
  // Pumps this thread for a while, for answers that should not come.
  void PumpFor(std::chrono::milliseconds duration);

  // The messages of the system log, without time stamp and tick count.
  std::vector<std::string> LogMessages() const;
  // Messages starting with `prefix`.
  std::vector<std::string> LogMessagesStarting(const std::string& prefix) const;

  testing_support::TempRoot root_;
  dns_testing::LoopbackDnsResponder dns_;
  std::vector<Heard> heard_;
};

}  // namespace dns
