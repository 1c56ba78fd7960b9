#include <gtest/gtest.h>

#include "io_notify_fixture.h"
#include "service/application/application.h"

namespace plugins::ionotify::testing {
namespace {

TEST_F(IoNotifyTest, TheApplicationHandsOutTheSharedObjectAndItsResolver) {
  Run([&](cIoNotify& io) {
    auto application = std::make_shared<service::Application>();
    EXPECT_EQ(application->GetIoNotify().get(), &io);
    platform::com::ObjectPtr resolver = application->DnsResolver();
    EXPECT_NE(resolver, nullptr);
    EXPECT_EQ(resolver, io.GetDnsResolver());
    EXPECT_EQ(platform::com::ObjectOf(application->Invoke("GetIoNotify")).get(), &io);
  });
}

}  // namespace
}  // namespace plugins::ionotify::testing
