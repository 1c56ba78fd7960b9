// Lookups that fail, bad input, listeners that fail, lookups that never end
// and their cancellation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "dns/dns_resolver.h"
#include "dns/resolver_fixture.h"
#include "platform/apartment/apartment.h"

namespace dns {
namespace {

using ::testing::ElementsAre;
using dns_testing::Rcode;

class DnsFailureTest : public DnsResolverTest {
 protected:
  void SetUp() override {
    DnsResolverTest::SetUp();
    resolver_ = std::make_shared<cDnsResolver>();
  }
  std::shared_ptr<cDnsResolver> resolver_;
};

TEST_F(DnsFailureTest, AFailedReverseLookupAnswersEmptyNameAndIsThenAnsweredFromTheCache) {
  dns_.Fail("10.9.9.9", Rcode::kNxDomain);
  std::string hostname;
  EXPECT_FALSE(resolver_->ResolveAddress("10.9.9.9", hostname, Listen("a")));
  ASSERT_TRUE(PumpUntilHeard(1));
  EXPECT_EQ(heard_[0].hostname, "");
  EXPECT_EQ(heard_[0].ipaddress, "10.9.9.9");

  hostname = "stale";
  EXPECT_TRUE(resolver_->ResolveAddress("10.9.9.9", hostname, Listen("b")));
  EXPECT_EQ(hostname, "");
  ASSERT_EQ(heard_.size(), 2u);
  EXPECT_EQ(heard_[1].hostname, "");
  EXPECT_EQ(heard_[1].ipaddress, "10.9.9.9");
  EXPECT_EQ(dns_.QueryCount("10.9.9.9"), 1);
}

TEST_F(DnsFailureTest, AFailedForwardLookupIsCachedEmptyUntilRefresh) {
  const struct {
    const char* name;
    Rcode rcode;
  } cases[] = {{"missing.test", Rcode::kNxDomain}, {"broken.test", Rcode::kServFail},
               {"refused.test", Rcode::kRefused}, {"nodata.test", Rcode::kNoError}};
  for (const auto& c : cases) {
    dns_.Fail(c.name, c.rcode);
    heard_.clear();
    EXPECT_EQ(resolver_->GetAddress(c.name), "") << c.name;
    std::string address = "stale";
    EXPECT_TRUE(resolver_->ResolveHostname(c.name, address, Listen("a"))) << c.name;
    EXPECT_EQ(address, "");
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].hostname, c.name);
    EXPECT_EQ(heard_[0].ipaddress, "");
    EXPECT_EQ(dns_.QueryCount(c.name), 1) << c.name;
  }
  dns_.AddHost("missing.test", {"10.0.2.1"});
  resolver_->Refresh("missing.test");
  PumpFor(std::chrono::milliseconds(0));
  EXPECT_EQ(resolver_->GetAddress("missing.test"), "10.0.2.1");
}

TEST_F(DnsFailureTest, BadTextsGetEmptyAnswersAndTheLogLinesOfAnyLookup) {
  const std::string too_long = std::string(250, 'a') + ".test";
  const std::string long_label = std::string(64, 'b') + ".test";
  const std::vector<std::string> texts = {"", too_long, long_label, "1.2.3", "256.1.1.1", "a..b", "bad name!"};
  for (const auto& text : texts) {
    std::string address = "stale";
    EXPECT_FALSE(resolver_->ResolveHostname(text, address, Listen(text))) << text;
    EXPECT_EQ(address, "");
  }
  ASSERT_TRUE(PumpUntilHeard(texts.size()));
  for (const auto& h : heard_) {
    EXPECT_EQ(h.hostname, h.listener);
    EXPECT_EQ(h.ipaddress, "");
  }
  EXPECT_EQ(LogMessagesStarting("Adding Pendinglookuphandle ").size(), texts.size());
  EXPECT_EQ(LogMessagesStarting("removing PendingLookupHandle ").size(), texts.size());
  // Names DNS cannot carry never left the process.
  EXPECT_EQ(dns_.QueryCount(too_long) + dns_.QueryCount(long_label) + dns_.QueryCount(""), 0);

  // Looked-up texts that are not addresses are names to ResolveAddress too.
  std::string hostname;
  EXPECT_TRUE(resolver_->ResolveAddress("1.2.3", hostname, nullptr));
  EXPECT_EQ(hostname, "1.2.3");
  EXPECT_EQ(resolver_->GetHostname("256.1.1.1"), "256.1.1.1");
}

TEST_F(DnsFailureTest, AFailingListenerDoesNotStopTheOthers) {
  dns_.AddHost("one.test", {"10.0.0.1"});
  std::string unused;
  resolver_->ResolveHostname("one.test", unused, Listen("fails", true));
  resolver_->ResolveHostname("one.test", unused, nullptr);
  resolver_->ResolveHostname("one.test", unused, Listen("b"));
  ASSERT_TRUE(PumpUntilHeard(2));
  EXPECT_EQ(heard_[0].listener, "fails");
  EXPECT_EQ(heard_[1].listener, "b");
  EXPECT_EQ(heard_[1].ipaddress, "10.0.0.1");
  // A listener failing on a cached answer does not fail the request.
  EXPECT_TRUE(resolver_->ResolveHostname("one.test", unused, Listen("fails", true)));
  EXPECT_EQ(unused, "10.0.0.1");
}

class DnsSilentTest : public DnsFailureTest {
 protected:
  // The responder's silence outlasts every test.
  void SetUp() override {
    SetUpRoot(60000);
    resolver_ = std::make_shared<cDnsResolver>();
    dns_.Ignore("silent.test");
    dns_.Ignore("10.8.8.8");
  }
};

TEST_F(DnsSilentTest, BeforeTerminateCancelsAndLogsEveryOutstandingLookup) {
  std::string unused;
  resolver_->ResolveHostname("silent.test", unused, Listen("a"));
  resolver_->ResolveAddress("10.8.8.8", unused, Listen("b"));
  resolver_->ResolveHostname("silent.test", unused, Listen("c"));
  auto added = LogMessagesStarting("Adding Pendinglookuphandle ");
  ASSERT_EQ(added.size(), 2u);
  const std::string first = added[0].substr(27), second = added[1].substr(27);

  resolver_->BeforeTerminate();
  EXPECT_THAT(LogMessagesStarting("cDnsResolver"),
              ElementsAre("cDnsResolver - Cancelling all 2 async socket requests",
                          "cDnsResolver -    Cancelled request " + first,
                          "cDnsResolver -    Cancelled request " + second,
                          "cDnsResolver -  completed BeforeTerminate "));
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(heard_.empty());

  // With nothing outstanding there is nothing to cancel.
  resolver_->BeforeTerminate();
  EXPECT_EQ(LogMessages().back(), "cDnsResolver -  completed BeforeTerminate ");
  EXPECT_EQ(LogMessagesStarting("cDnsResolver - Cancelling all 0 async socket requests").size(), 1u);
}

TEST_F(DnsSilentTest, AWaitingGetHostnameKeepsThePumpGoingUntilBeforeTerminate) {
  auto apartment = platform::Apartment::Current();
  std::vector<std::string> ran;
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Calls that reach the resolver's thread while it waits run meanwhile.
    apartment->Post([&] {
      std::string address;
      resolver_->ResolveHostname("10.1.1.1", address, nullptr);
      ran.push_back(address);
    });
    apartment->Post([&] {
      resolver_->BeforeTerminate();
      ran.push_back("terminated");
    });
  });
  EXPECT_EQ(resolver_->GetHostname("10.8.8.8"), "");
  other.join();
  EXPECT_THAT(ran, ElementsAre("10.1.1.1", "terminated"));

  // The cancelled lookup is forgotten: asking again starts a new one.
  std::string unused;
  EXPECT_FALSE(resolver_->ResolveAddress("10.8.8.8", unused, nullptr));
  EXPECT_EQ(LogMessagesStarting("Adding Pendinglookuphandle ").size(), 2u);
}

TEST(DnsResolverTimeout, ASilentServerEndsInAnEmptyAnswer) {
  testing_support::TempRoot root;
  dns_testing::LoopbackDnsResponder dns;
  dns.IgnoreUnknown(true);
  platform::SetMachineRoot(root.path());
  testing_support::WriteFileBytes(root / "machine.conf",
                                  "dns.servers = " + dns.ServerCsv() + "\ndns.timeout = 100\ndns.tries = 1\n");
  auto resolver = std::make_shared<cDnsResolver>();
  EXPECT_EQ(resolver->GetAddress("nobody.test"), "");
  std::string address = "stale";
  EXPECT_TRUE(resolver->ResolveHostname("nobody.test", address, nullptr));
  EXPECT_EQ(address, "");
  platform::SetMachineRoot({});
}

}  // namespace
}  // namespace dns
