// The resolver over a socket component the test drives by hand, for orders
// of events the real one cannot be made to produce on demand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "dns/dns_resolver.h"
#include "dns/dns_result.h"
#include "dns/resolver_fixture.h"
#include "support/sock/dotted_address.h"

namespace dns {
namespace {

using ::testing::ElementsAre;

class ScriptedSock : public contracts::SockComponent {
 public:
  struct State {
    std::weak_ptr<contracts::dwSockNotify> sink;
    std::map<int32_t, std::string> started;  // handle -> name or dotted address
    std::vector<int32_t> cancelled;
    int32_t next = 100;
  };
  explicit ScriptedSock(State* state) : state_(state) {}
  void RegisterNotify(std::weak_ptr<contracts::dwSockNotify> sink) override { state_->sink = sink; }
  int32_t StartForwardLookup(std::string_view host_name) override {
    state_->started[state_->next] = std::string(host_name);
    return state_->next++;
  }
  int32_t StartReverseLookup(int32_t address) override {
    state_->started[state_->next] = support::AddressToText(address);
    return state_->next++;
  }
  void CancelRequest(int32_t handle) override { state_->cancelled.push_back(handle); }

 private:
  State* state_;
};

class DnsScriptedTest : public DnsResolverTest {
 protected:
  void SetUp() override {
    DnsResolverTest::SetUp();
    resolver_ = std::make_shared<cDnsResolver>(std::make_unique<ScriptedSock>(&sock_));
  }
  void Answer(int32_t handle, const std::string& name, std::vector<std::string> addresses) {
    std::vector<int32_t> numbers;
    for (const auto& a : addresses) numbers.push_back(support::TextToAddress(a));
    contracts::HostEntry entry(name, numbers);
    sock_.sink.lock()->HostResolved(handle, &entry);
  }
  void Fail(int32_t handle) { sock_.sink.lock()->AsyncError(handle, 11001, "not found"); }

  ScriptedSock::State sock_;
  std::shared_ptr<cDnsResolver> resolver_;
};

TEST_F(DnsScriptedTest, AnEntryWithoutAddressesIsAFailure) {
  std::string unused;
  resolver_->ResolveHostname("empty.test", unused, Listen("a"));
  Answer(100, "empty.test", {});
  ASSERT_EQ(heard_.size(), 1u);
  EXPECT_EQ(heard_[0].hostname, "empty.test");
  EXPECT_EQ(heard_[0].ipaddress, "");
  EXPECT_TRUE(resolver_->ResolveHostname("empty.test", unused, nullptr));
}

TEST_F(DnsScriptedTest, AnAnswerToAnUnknownRequestChangesNothing) {
  Answer(555, "stray.test", {"10.0.0.5"});
  Fail(556);
  std::string hostname;
  EXPECT_FALSE(resolver_->ResolveAddress("10.0.0.5", hostname, nullptr));
  EXPECT_TRUE(LogMessagesStarting("removing").empty());
}

TEST_F(DnsScriptedTest, AFailedReverseLookupKeepsTheNameAForwardLookupFoundMeanwhile) {
  std::string unused;
  resolver_->ResolveAddress("10.0.0.1", unused, Listen("reverse"));   // handle 100
  resolver_->ResolveHostname("one.test", unused, Listen("forward"));  // handle 101
  Answer(101, "one.test", {"10.0.0.1"});
  Fail(100);
  ASSERT_EQ(heard_.size(), 2u);
  EXPECT_EQ(heard_[1].listener, "reverse");
  EXPECT_EQ(heard_[1].hostname, "one.test");
  EXPECT_EQ(heard_[1].ipaddress, "10.0.0.1");
  EXPECT_EQ(resolver_->GetHostname("10.0.0.1"), "one.test");
}

TEST_F(DnsScriptedTest, AReverseAnswerIsFiledUnderTheOfficialName) {
  std::string unused;
  resolver_->ResolveAddress("10.0.0.9", unused, Listen("a"));
  Answer(100, "Nine.Test", {"10.0.0.9", "10.0.0.10"});
  ASSERT_EQ(heard_.size(), 1u);
  EXPECT_EQ(heard_[0].hostname, "Nine.Test");
  EXPECT_EQ(heard_[0].ipaddress, "10.0.0.9 10.0.0.10");
  EXPECT_EQ(resolver_->GetAddress("nine.test"), "10.0.0.9 10.0.0.10");
  EXPECT_EQ(resolver_->GetHostname("10.0.0.10"), "Nine.Test");
  EXPECT_THAT(LogMessages(), ElementsAre("Adding Pendinglookuphandle 100", "removing PendingLookupHandle 100"));
}

TEST(DnsResolverWithoutComponent, AnswersWhatItCanAndNeverFails) {
  testing_support::TempRoot root;
  platform::SetMachineRoot(root.path());
  {
    cDnsResolver resolver(nullptr);
    std::string text;
    EXPECT_FALSE(resolver.ResolveHostname("name.test", text, nullptr));
    EXPECT_TRUE(resolver.ResolveHostname("10.0.0.1", text, nullptr));
    EXPECT_FALSE(resolver.ResolveAddress("10.0.0.1", text, nullptr));
    resolver.BeforeTerminate();
  }
  platform::SetMachineRoot({});
}

TEST_F(DnsScriptedTest, ABlockingLookupNeverAnsweredGivesUpAtTheWaitLimit) {
  const auto saved = cDnsResult::SetWaitLimit(std::chrono::milliseconds(50));
  // The component takes the lookup and never reports it.
  EXPECT_EQ(resolver_->GetAddress("silent.test"), "");
  EXPECT_EQ(resolver_->GetHostname("10.0.0.99"), "");
  cDnsResult::SetWaitLimit(saved);
  EXPECT_EQ(sock_.started.size(), 2u);
}

}  // namespace
}  // namespace dns
