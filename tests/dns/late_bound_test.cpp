// cDnsResult, and the resolver as late-bound callers see it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dns/dns_result.h"
#include "dns/resolver_fixture.h"
#include "platform/apartment/apartment.h"
#include "platform/com/dispatch_table.h"

namespace dns {
namespace {

using platform::Variant;
using platform::com::Args;
using platform::com::DispatchTable;

TEST(DnsResult, WaitPumpsUntilTheAnswerComes) {
  auto result = std::make_shared<cDnsResult>();
  EXPECT_FALSE(result->isResolved());
  auto apartment = platform::Apartment::Current();
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Delivered as the socket component delivers: posted to the waiting thread.
    apartment->Post([result] { result->HostResolved("two.test", "10.0.0.1 10.0.0.2"); });
  });
  result->Wait();
  other.join();
  EXPECT_TRUE(result->isResolved());
  EXPECT_EQ(result->hostname(), "two.test");
  EXPECT_EQ(result->ipaddress(), "10.0.0.1 10.0.0.2");

  platform::com::ObjectPtr object = result;
  EXPECT_TRUE(object->Invoke("ISRESOLVED", {}).BoolValue());
  EXPECT_EQ(object->Invoke("hostname", {}).StringValue(), "two.test");
  EXPECT_EQ(object->Invoke("ipaddress", {}).StringValue(), "10.0.0.1 10.0.0.2");
  object->Invoke("Wait", {});  // already answered: returns at once
}

TEST(DnsResult, AbandonEndsTheWaitWithNothingResolved) {
  auto result = std::make_shared<cDnsResult>();
  platform::Apartment::Current()->Post([result] { result->Abandon(); });
  result->Wait();
  EXPECT_FALSE(result->isResolved());
  EXPECT_EQ(result->hostname(), "");
}

// A listener known only by its member name, as a script would write one.
class ScriptListener : public platform::com::Object {
 public:
  std::vector<std::string> heard;

 protected:
  const DispatchTable* Dispatch() const override {
    static const DispatchTable table = DispatchTable::Of<ScriptListener>({
        {"hostresolved", 2,
         [](ScriptListener& self, Args args) {
           self.heard.push_back(args[0].StringValue() + "|" + args[1].StringValue());
         }},
    });
    return &table;
  }
};

class DnsLateBoundTest : public DnsResolverTest {};

TEST_F(DnsLateBoundTest, MembersTakeTheirArgumentsAndWriteTheOutText) {
  dns_.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
  platform::com::ObjectPtr resolver = std::make_shared<cDnsResolver>();
  auto listener = std::make_shared<ScriptListener>();

  std::vector<Variant> args{Variant("two.test"), Variant("stale"), Variant(platform::com::ObjectPtr(listener))};
  EXPECT_FALSE(resolver->Invoke("ResolveHostname", args).BoolValue());
  EXPECT_EQ(args[1].StringValue(), "");
  platform::Apartment::Current()->WaitPumping([&] { return !listener->heard.empty(); }, std::chrono::seconds(10));
  ASSERT_EQ(listener->heard.size(), 1u);
  EXPECT_EQ(listener->heard[0], "two.test|10.0.0.1 10.0.0.2");

  std::vector<Variant> reverse{Variant("10.0.0.2"), Variant(), Variant::Missing()};
  EXPECT_TRUE(resolver->Invoke("resolveaddress", reverse).BoolValue());
  EXPECT_EQ(reverse[1].StringValue(), "two.test");

  EXPECT_EQ(resolver->Invoke("GetAddress", {Variant("two.test")}).StringValue(), "10.0.0.1 10.0.0.2");
  EXPECT_EQ(resolver->Invoke("GetHostname", {Variant("10.0.0.1")}).StringValue(), "two.test");
  // Values that are not text count as empty text, and nothing is raised.
  EXPECT_EQ(resolver->Invoke("GetAddress", {Variant::Null()}).StringValue(), "");
  resolver->Invoke("Refresh", {Variant("two.test"), Variant(42)});
  resolver->Invoke("BeforeTerminate", {});
}

}  // namespace
}  // namespace dns
