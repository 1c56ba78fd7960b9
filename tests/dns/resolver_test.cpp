// The resolver's main paths against the loopback responder: joined lookups,
// literal addresses, answers cached both ways, listeners on the asking thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "dns/dns_resolver.h"
#include "dns/resolver_fixture.h"
#include "platform/apartment/apartment.h"

namespace dns {
namespace {

using ::testing::ElementsAre;

class DnsResolveTest : public DnsResolverTest {
 protected:
  void SetUp() override {
    DnsResolverTest::SetUp();
    dns_.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
    resolver_ = std::make_shared<cDnsResolver>();
  }
  std::shared_ptr<cDnsResolver> resolver_;
};

TEST_F(DnsResolveTest, TwoRequestsForOneNameStartOneLookupAndBothHearInOrder) {
  std::string first = "stale", second = "stale";
  EXPECT_FALSE(resolver_->ResolveHostname("two.test", first, Listen("a")));
  EXPECT_FALSE(resolver_->ResolveHostname("two.test", second, Listen("b")));
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
  EXPECT_TRUE(heard_.empty());

  ASSERT_TRUE(PumpUntilHeard(2));
  ASSERT_EQ(heard_.size(), 2u);
  EXPECT_EQ(heard_[0].listener, "a");
  EXPECT_EQ(heard_[1].listener, "b");
  for (const auto& h : heard_) {
    EXPECT_EQ(h.hostname, "two.test");
    EXPECT_EQ(h.ipaddress, "10.0.0.1 10.0.0.2");
  }
  EXPECT_EQ(dns_.QueryCount("two.test"), 1);

  auto added = LogMessagesStarting("Adding Pendinglookuphandle ");
  auto removed = LogMessagesStarting("removing PendingLookupHandle ");
  ASSERT_EQ(added.size(), 1u);
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(added[0].substr(27), removed[0].substr(29));  // the same handle
}

TEST_F(DnsResolveTest, ACachedNameIsAnsweredAtOnceWhateverItsCase) {
  EXPECT_EQ(resolver_->GetAddress("two.test"), "10.0.0.1 10.0.0.2");
  heard_.clear();
  std::string address;
  EXPECT_TRUE(resolver_->ResolveHostname("TWO.Test", address, Listen("a")));
  EXPECT_EQ(address, "10.0.0.1 10.0.0.2");
  ASSERT_EQ(heard_.size(), 1u);  // called before ResolveHostname returned
  EXPECT_EQ(heard_[0].hostname, "TWO.Test");
  EXPECT_EQ(dns_.QueryCount("two.test"), 1);
}

TEST_F(DnsResolveTest, DottedAddressesAnswerAtOnceAsThemselves) {
  for (const std::string text : {"10.1.2.3", "0.0.0.0", "255.255.255.255"}) {
    heard_.clear();
    std::string address;
    EXPECT_TRUE(resolver_->ResolveHostname(text, address, Listen("a"))) << text;
    EXPECT_EQ(address, text);
    ASSERT_EQ(heard_.size(), 1u) << text;
    EXPECT_EQ(heard_[0].hostname, text);
    EXPECT_EQ(heard_[0].ipaddress, text);
  }
  std::string name;
  EXPECT_TRUE(resolver_->ResolveAddress("255.255.255.255", name, nullptr));
  EXPECT_EQ(name, "255.255.255.255");
  EXPECT_EQ(dns_.TotalQueries(), 0);
  EXPECT_TRUE(LogMessagesStarting("Adding").empty());
}

TEST_F(DnsResolveTest, ResolveAddressOfANameBehavesAsResolveHostname) {
  std::string hostname;
  EXPECT_FALSE(resolver_->ResolveAddress("two.test", hostname, Listen("a")));
  EXPECT_EQ(hostname, "two.test");
  ASSERT_TRUE(PumpUntilHeard(1));
  EXPECT_EQ(heard_[0].hostname, "two.test");
  EXPECT_EQ(heard_[0].ipaddress, "10.0.0.1 10.0.0.2");

  // Once cached, still the name's answer, not the cache read backwards.
  EXPECT_TRUE(resolver_->ResolveAddress("two.test", hostname, Listen("b")));
  EXPECT_EQ(hostname, "two.test");
  ASSERT_EQ(heard_.size(), 2u);
  EXPECT_EQ(heard_[1].hostname, "two.test");
  EXPECT_EQ(heard_[1].ipaddress, "10.0.0.1 10.0.0.2");
}

TEST_F(DnsResolveTest, AfterAForwardLookupEitherAddressAnswersAtOnceWithTheName) {
  ASSERT_EQ(resolver_->GetAddress("two.test"), "10.0.0.1 10.0.0.2");
  for (const std::string address : {"10.0.0.1", "10.0.0.2"}) {
    heard_.clear();
    std::string hostname;
    EXPECT_TRUE(resolver_->ResolveAddress(address, hostname, Listen("a")));
    EXPECT_EQ(hostname, "two.test");
    ASSERT_EQ(heard_.size(), 1u);
    EXPECT_EQ(heard_[0].hostname, "two.test");
    EXPECT_EQ(heard_[0].ipaddress, address);
    EXPECT_EQ(resolver_->GetHostname(address), "two.test");
  }
  EXPECT_EQ(dns_.TotalQueries(), 1);
}

TEST_F(DnsResolveTest, AReverseLookupAnswersTheNameAndCachesItBothWays) {
  dns_.AddHost("seven.test", {"10.0.0.7"});
  std::string hostname = "stale";
  EXPECT_FALSE(resolver_->ResolveAddress("10.0.0.7", hostname, Listen("a")));
  EXPECT_EQ(hostname, "");
  ASSERT_TRUE(PumpUntilHeard(1));
  EXPECT_EQ(heard_[0].hostname, "seven.test");
  EXPECT_EQ(heard_[0].ipaddress, "10.0.0.7");

  std::string address;
  EXPECT_TRUE(resolver_->ResolveHostname("seven.test", address, nullptr));
  EXPECT_EQ(address, "10.0.0.7");
  EXPECT_EQ(dns_.QueryCount("seven.test"), 0);  // no forward question was needed
}

TEST_F(DnsResolveTest, AReverseLookupAddsToTheAddressesKnownForTheName) {
  dns_.AddPtr("10.0.0.3", "two.test");
  ASSERT_EQ(resolver_->GetAddress("two.test"), "10.0.0.1 10.0.0.2");
  std::string hostname;
  EXPECT_FALSE(resolver_->ResolveAddress("10.0.0.3", hostname, Listen("a")));
  ASSERT_TRUE(PumpUntilHeard(1));
  EXPECT_EQ(heard_[0].hostname, "two.test");
  EXPECT_EQ(heard_[0].ipaddress, "10.0.0.1 10.0.0.2 10.0.0.3");
  EXPECT_EQ(resolver_->GetAddress("two.test"), "10.0.0.1 10.0.0.2 10.0.0.3");
}

TEST_F(DnsResolveTest, ADottedAddressStaysItselfAfterItsNameIsKnown) {
  ASSERT_EQ(resolver_->GetAddress("two.test"), "10.0.0.1 10.0.0.2");
  std::string address;
  EXPECT_TRUE(resolver_->ResolveHostname("10.0.0.1", address, nullptr));
  EXPECT_EQ(address, "10.0.0.1");
  // ...and asking for it that way does not hide the name it resolves to.
  EXPECT_EQ(resolver_->GetHostname("10.0.0.1"), "two.test");
}

TEST_F(DnsResolveTest, RefreshLooksANameUpAgainButLeavesAddressesAlone) {
  dns_.AddHost("moving.test", {"10.0.1.1"});
  ASSERT_EQ(resolver_->GetAddress("moving.test"), "10.0.1.1");
  dns_.AddHost("moving.test", {"10.0.1.2"});  // now answers both

  resolver_->Refresh("moving.test", Listen("a"));
  ASSERT_TRUE(PumpUntilHeard(1));
  EXPECT_EQ(heard_[0].ipaddress, "10.0.1.1 10.0.1.2");
  EXPECT_EQ(dns_.QueryCount("moving.test"), 2);

  resolver_->Refresh("10.0.1.1", Listen("b"));  // an address: nothing happens
  PumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(heard_.size(), 1u);
  EXPECT_EQ(resolver_->GetHostname("10.0.1.1"), "moving.test");
}

TEST_F(DnsResolveTest, ListenersRunOnTheThreadThatAsked) {
  dns_.AddHost("seven.test", {"10.0.0.7"});
  std::thread::id asker;
  std::vector<Heard> heard;
  std::thread worker([&] {
    asker = std::this_thread::get_id();
    auto resolver = std::make_shared<cDnsResolver>();
    std::string unused;
    resolver->ResolveHostname("two.test", unused, std::make_shared<Recorder>("a", &heard));
    resolver->ResolveAddress("10.0.0.7", unused, std::make_shared<Recorder>("b", &heard));
    resolver->ResolveHostname("10.0.0.9", unused, std::make_shared<Recorder>("c", &heard));
    platform::Apartment::Current()->WaitPumping([&] { return heard.size() >= 3; }, std::chrono::seconds(10));
  });
  worker.join();
  ASSERT_EQ(heard.size(), 3u);
  for (const auto& h : heard) {
    EXPECT_EQ(h.thread, asker) << h.listener;
    EXPECT_NE(h.thread, std::this_thread::get_id());
  }
}

TEST_F(DnsResolveTest, LocalhostResolvesFromTheHostsFile) {
  // A hosts file of the test's own, not the machine's.
  testing_support::WriteFileBytes(root_ / "hosts", "127.0.0.9 localhost\n");
  testing_support::WriteFileBytes(root_ / "machine.conf", testing_support::ReadFileBytes(root_ / "machine.conf") +
                                                              "dns.hosts = " + (root_ / "hosts").string() + "\n");
  dns_.IgnoreUnknown(true);
  auto resolver = std::make_shared<cDnsResolver>();
  EXPECT_EQ(resolver->GetAddress("localhost"), "127.0.0.9");
  EXPECT_EQ(dns_.TotalQueries(), 0);
}

TEST_F(DnsResolveTest, EndingTheResolverIsLogged) {
  resolver_.reset();
  EXPECT_THAT(LogMessages(), ElementsAre("In cDnsResolver.Terminate"));
}

}  // namespace
}  // namespace dns
