#include "support/sock/cares_sock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/apartment/apartment.h"
#include "support/sock/dotted_address.h"
#include "support/sock/testing/loopback_dns_responder.h"
#include "testing/temp_root.h"

namespace support {
namespace {

using namespace std::chrono_literals;
using dns_testing::LoopbackDnsResponder;
using dns_testing::Rcode;

struct Event {
  int32_t handle = 0;
  bool resolved = false;
  std::string name;
  std::vector<std::string> addresses;
  int32_t error = 0;
  std::string description;
  std::thread::id thread;
};

class RecordingSink : public dwSockNotify {
 public:
  void HostResolved(int32_t handle, const HostEntry* entry) override {
    Event e{handle, true, {}, {}, 0, {}, std::this_thread::get_id()};
    if (entry) {
      e.name = entry->Name();
      for (int32_t i = 1; i <= entry->AddressCount(); ++i) e.addresses.push_back(AddressToText(entry->Address(i)));
    }
    events.push_back(e);
  }
  void AsyncError(int32_t handle, int32_t error, const std::string& description) override {
    events.push_back(Event{handle, false, {}, {}, error, description, std::this_thread::get_id()});
  }
  std::vector<Event> events;
};

class CaresSockTest : public ::testing::Test {
 protected:
  // `timeout_ms` is long enough that a loaded machine never turns a slow
  // answer into a timeout; tests of silence pass a short one.
  std::unique_ptr<CaresSock> Make(std::string servers = {}, int timeout_ms = 5000, SockConfig config = {}) {
    config.servers = servers.empty() ? dns_.ServerCsv() : servers;
    config.timeout_ms = timeout_ms;
    config.tries = 1;
    auto sock = std::make_unique<CaresSock>(config);
    sock->RegisterNotify(sink_);
    return sock;
  }

  // Pumps this thread until `count` events arrived (or 10 s passed).
  bool WaitFor(size_t count) {
    return platform::Apartment::Current()->WaitPumping([&] { return sink_->events.size() >= count; }, 10000ms);
  }

  LoopbackDnsResponder dns_;
  std::shared_ptr<RecordingSink> sink_ = std::make_shared<RecordingSink>();
};

TEST_F(CaresSockTest, ForwardLookupGivesNameAndEveryAddressInOrder) {
  dns_.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
  auto sock = Make();
  int32_t handle = sock->StartForwardLookup("two.test");
  ASSERT_TRUE(WaitFor(1));
  const Event& e = sink_->events[0];
  EXPECT_EQ(e.handle, handle);
  EXPECT_TRUE(e.resolved);
  EXPECT_EQ(e.name, "two.test");
  EXPECT_EQ(e.addresses, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(e.thread, std::this_thread::get_id());
  EXPECT_EQ(sock->OutstandingCount(), 0u);
}

TEST_F(CaresSockTest, ReverseLookupGivesTheName) {
  dns_.AddPtr("10.0.0.7", "seven.test");
  auto sock = Make();
  int32_t handle = sock->StartReverseLookup(TextToAddress("10.0.0.7"));
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(sink_->events[0].handle, handle);
  EXPECT_EQ(sink_->events[0].name, "seven.test");
  EXPECT_EQ(sink_->events[0].addresses, std::vector<std::string>{"10.0.0.7"});
}

TEST_F(CaresSockTest, FailuresComeAsAsyncErrorWithTheirWinsockNumber) {
  dns_.Fail("missing.test", Rcode::kNxDomain);
  dns_.Fail("broken.test", Rcode::kServFail);
  dns_.Fail("10.9.9.9", Rcode::kNxDomain);
  auto sock = Make();
  const struct {
    int32_t handle;
    int32_t error;
  } expected[] = {
      {sock->StartForwardLookup("missing.test"), 11001},
      {sock->StartForwardLookup("broken.test"), 11002},
      {sock->StartReverseLookup(TextToAddress("10.9.9.9")), 11001},
  };
  ASSERT_TRUE(WaitFor(3));
  for (const auto& x : expected) {
    bool seen = false;
    for (const auto& e : sink_->events) {
      if (e.handle != x.handle) continue;
      seen = true;
      EXPECT_FALSE(e.resolved);
      EXPECT_EQ(e.error, x.error) << e.description;
      EXPECT_FALSE(e.description.empty());
    }
    EXPECT_TRUE(seen) << x.handle;
  }
}

TEST_F(CaresSockTest, ASilentServerTimesOut) {
  dns_.Ignore("silent.test");
  auto sock = Make({}, 200);
  int32_t handle = sock->StartForwardLookup("silent.test");
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(sink_->events[0].handle, handle);
  EXPECT_FALSE(sink_->events[0].resolved);
  EXPECT_EQ(sink_->events[0].error, 11002) << sink_->events[0].description;
}

TEST_F(CaresSockTest, NamesDnsCannotCarryFailWithoutAQuestion) {
  auto sock = Make();
  const std::string long_label(64, 'a');
  std::string long_name;
  for (int i = 0; i < 5; ++i) long_name += std::string(60, 'b') + ".";  // 305 characters
  for (const std::string& name : {std::string(), long_label + ".test", long_name, std::string("a..b"),
                                  std::string(".")}) {
    sock->StartForwardLookup(name);
  }
  ASSERT_TRUE(WaitFor(5));
  for (const auto& e : sink_->events) {
    EXPECT_FALSE(e.resolved);
    EXPECT_EQ(e.error, 11001);
  }
  EXPECT_EQ(dns_.TotalQueries(), 0);
}

TEST_F(CaresSockTest, LocalhostComesFromTheHostsFile) {
  // A hosts file of the test's own, not the machine's.
  testing_support::TempRoot root;
  testing_support::WriteFileBytes(root / "hosts", "127.0.0.9 localhost\n");
  dns_.IgnoreUnknown(true);
  SockConfig config;
  config.hosts = (root / "hosts").string();
  auto sock = Make({}, 5000, config);
  sock->StartForwardLookup("localhost");
  ASSERT_TRUE(WaitFor(1));
  ASSERT_TRUE(sink_->events[0].resolved);
  EXPECT_EQ(sink_->events[0].addresses, std::vector<std::string>{"127.0.0.9"});
  EXPECT_EQ(dns_.TotalQueries(), 0);
}

// A sink that, while it is handed the first answer, waits (pumping) for the
// second, as a listener calling GetAddress from inside its callback does.
class NestedWaitSink : public dwSockNotify {
 public:
  void HostResolved(int32_t handle, const HostEntry*) override { Heard(handle); }
  void AsyncError(int32_t handle, int32_t, const std::string&) override { Heard(handle); }
  std::vector<int32_t> heard;
  bool nested_wait_ended = false;

 private:
  void Heard(int32_t handle) {
    heard.push_back(handle);
    if (heard.size() != 1) return;
    nested_wait_ended =
        platform::Apartment::Current()->WaitPumping([this] { return heard.size() >= 2; }, 5000ms);
  }
};

TEST_F(CaresSockTest, AListenerWaitingForAnotherAnswerOfTheSameBatchSeesIt) {
  testing_support::TempRoot root;
  testing_support::WriteFileBytes(root / "hosts", "10.3.0.1 first.test\n10.3.0.2 second.test\n");
  SockConfig config;
  config.lookups = "f";
  config.hosts = (root / "hosts").string();
  auto sock = Make({}, 5000, config);
  auto sink = std::make_shared<NestedWaitSink>();
  sock->RegisterNotify(sink);
  int32_t first = sock->StartForwardLookup("first.test");
  int32_t second = sock->StartForwardLookup("second.test");
  // Both answers wait for this thread before it pumps once.
  for (int i = 0; i < 10000 && sock->WaitingAnswerCount() < 2; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(sock->WaitingAnswerCount(), 2u);
  ASSERT_TRUE(platform::Apartment::Current()->WaitPumping([&] { return sink->heard.size() >= 2; }, 10000ms));
  EXPECT_TRUE(sink->nested_wait_ended);
  EXPECT_EQ(sink->heard, (std::vector<int32_t>{first, second}));
  EXPECT_EQ(sock->OutstandingCount(), 0u);
}

TEST_F(CaresSockTest, TheHostsFileAndDnsAreAskedInTheConfiguredOrder) {
  testing_support::TempRoot root;
  testing_support::WriteFileBytes(root / "hosts", "10.1.0.1 both.test\n10.1.0.2 both.test\n10.1.0.9 file.test\n");
  dns_.AddHost("both.test", {"10.2.0.1"});
  const struct {
    const char* lookups;
    const char* name;
    std::vector<std::string> addresses;  // empty: not found
  } cases[] = {
      {"fb", "both.test", {"10.1.0.1", "10.1.0.2"}},
      {"bf", "both.test", {"10.2.0.1"}},
      {"bf", "file.test", {"10.1.0.9"}},  // DNS says no, the file says yes
      {"b", "file.test", {}},
      {"f", "both.test", {"10.1.0.1", "10.1.0.2"}},
      {"f", "dns-only.test", {}},
  };
  for (const auto& c : cases) {
    SockConfig config;
    config.lookups = c.lookups;
    config.hosts = (root / "hosts").string();
    auto sock = Make({}, 5000, config);
    sink_->events.clear();
    sock->StartForwardLookup(c.name);
    ASSERT_TRUE(WaitFor(1));
    EXPECT_EQ(sink_->events[0].addresses, c.addresses) << c.lookups << " " << c.name;
    EXPECT_EQ(sink_->events[0].resolved, !c.addresses.empty()) << c.lookups << " " << c.name;
  }
  EXPECT_EQ(dns_.QueryCount("dns-only.test"), 0);
}

TEST_F(CaresSockTest, AnswersWaitForTheRequestingThreadToPump) {
  dns_.AddHost("one.test", {"10.0.0.1"});
  auto sock = Make();
  sock->StartForwardLookup("one.test");
  while (dns_.QueryCount("one.test") == 0) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(sink_->events.empty());
  ASSERT_TRUE(WaitFor(1));
}

TEST_F(CaresSockTest, EachThreadGetsItsOwnAnswers) {
  dns_.AddHost("a.test", {"10.0.0.1"});
  dns_.AddHost("b.test", {"10.0.0.2"});
  auto sock = Make();
  int32_t mine = sock->StartForwardLookup("a.test");
  std::thread::id other_id;
  int32_t theirs = 0;
  std::thread other([&] {
    other_id = std::this_thread::get_id();
    theirs = sock->StartForwardLookup("b.test");
    // The main thread is blocked in join: only this thread's answer can come.
    platform::Apartment::Current()->WaitPumping([&] { return sink_->events.size() >= 1; }, 5000ms);
  });
  other.join();
  ASSERT_TRUE(WaitFor(2));
  for (const auto& e : sink_->events) {
    if (e.handle == mine) {
      EXPECT_EQ(e.thread, std::this_thread::get_id());
    } else {
      EXPECT_EQ(e.handle, theirs);
      EXPECT_EQ(e.thread, other_id);
    }
  }
  EXPECT_NE(mine, theirs);
}

TEST_F(CaresSockTest, CancelledRequestIsNeverReported) {
  dns_.AddHost("one.test", {"10.0.0.1"});
  dns_.AddHost("two.test", {"10.0.0.2"});
  auto sock = Make();
  int32_t cancelled = sock->StartForwardLookup("one.test");
  int32_t kept = sock->StartForwardLookup("two.test");
  sock->CancelRequest(cancelled);
  sock->CancelRequest(12345);  // unknown: ignored
  ASSERT_TRUE(WaitFor(1));
  platform::Apartment::Current()->WaitPumping([] { return false; }, 100ms);
  ASSERT_EQ(sink_->events.size(), 1u);
  EXPECT_EQ(sink_->events[0].handle, kept);
  EXPECT_EQ(sock->OutstandingCount(), 0u);
}

TEST_F(CaresSockTest, BadServerListFailsEveryLookupAndSendsNothing) {
  auto sock = Make("not a server list");
  EXPECT_FALSE(sock->setup_error().empty());
  sock->StartForwardLookup("one.test");
  ASSERT_TRUE(WaitFor(1));
  EXPECT_FALSE(sink_->events[0].resolved);
  EXPECT_NE(sink_->events[0].description.find("not a server list"), std::string::npos);
}

TEST_F(CaresSockTest, ReleasingTheComponentDropsWhatIsOutstanding) {
  dns_.Ignore("silent.test");
  dns_.AddHost("one.test", {"10.0.0.1"});
  {
    auto sock = Make();
    sock->StartForwardLookup("silent.test");
    sock->StartForwardLookup("one.test");
    while (dns_.QueryCount("one.test") == 0) std::this_thread::sleep_for(1ms);
  }
  platform::Apartment::Current()->WaitPumping([] { return false; }, 100ms);
  EXPECT_TRUE(sink_->events.empty());
}

TEST_F(CaresSockTest, AnAnswerForAThreadThatEndedIsDropped) {
  dns_.Ignore("slow.test");
  auto sock = Make({}, 200);
  std::thread([&] { sock->StartForwardLookup("slow.test"); }).join();
  EXPECT_EQ(sock->OutstandingCount(), 1u);
  // The lookup times out after the thread that asked has gone.
  for (int i = 0; i < 200 && sock->OutstandingCount() > 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(sock->OutstandingCount(), 0u);
  EXPECT_TRUE(sink_->events.empty());
}

TEST_F(CaresSockTest, ABurstOfDistinctLookupsIsAllAnswered) {
  constexpr int kCount = 500;
  for (int i = 0; i < kCount; ++i) {
    dns_.AddHost("h" + std::to_string(i) + ".test", {AddressToText(0x0a000000 + i)});
  }
  auto sock = Make();
  for (int i = 0; i < kCount; ++i) sock->StartForwardLookup("h" + std::to_string(i) + ".test");
  ASSERT_TRUE(WaitFor(kCount));
  for (const auto& e : sink_->events) EXPECT_TRUE(e.resolved) << e.description;
}

}  // namespace
}  // namespace support
