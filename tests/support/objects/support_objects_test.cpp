#include "contracts/support_objects.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "platform/root/machine_root.h"
#include "support/crypto/crypto_service.h"
#include "support/environment/environment_object.h"
#include "support/registry/registry_object.h"
#include "testing/temp_root.h"

namespace contracts {
namespace {

using platform::Variant;

class SupportObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    Support().Reset();
  }
  void TearDown() override {
    Support().Reset();
    platform::SetMachineRoot({});
  }
  testing_support::TempRoot root_;
};

class FakeEnvironment : public EnvironmentObject {
 public:
  bool EnvironmentFlag() override { return true; }
  bool ShortNameFlag() override { return true; }
  std::string Stamp() override { return "fixed"; }
};

// Runs `body` on a new thread and waits for it.
template <class F>
void OnNewThread(F body) {
  std::thread(body).join();
}

TEST_F(SupportObjectsTest, OneObjectPerThreadCreatedOnFirstUse) {
  auto first = Support().Environment();
  EXPECT_EQ(Support().Environment(), first);
  EXPECT_NE(std::dynamic_pointer_cast<support::EnvironmentObject>(first), nullptr);  // the real one

  std::shared_ptr<EnvironmentObject> other;
  std::shared_ptr<BrandingResolver> other_branding;
  OnNewThread([&] {
    other = Support().Environment();
    other_branding = Support().Branding();
    EXPECT_EQ(Support().Environment(), other);
  });
  EXPECT_NE(other, first);
  EXPECT_NE(other_branding, Support().Branding());
}

TEST_F(SupportObjectsTest, EveryKindHasARealObject) {
  auto& objects = Support();
  EXPECT_NE(objects.Version(), nullptr);
  EXPECT_EQ(objects.Branding()->LookupString("{%strings%}/guest", ".guest"), "Guest");
  EXPECT_NE(objects.Registry(), nullptr);
  EXPECT_NE(objects.Files(), nullptr);
  EXPECT_EQ(objects.Folders()->CommonFilesFolder(), root_.str() + "/commonfiles");
  EXPECT_NE(objects.Rights(), nullptr);
  EXPECT_EQ(objects.Accounts()->EveryoneGroupName(), "Everyone");
  // The crypto library's own per-thread object is the thread's crypto service.
  EXPECT_EQ(objects.Crypto(), support::ThreadCryptoService());
}

TEST_F(SupportObjectsTest, OverrideReplacesTheObjectOfEveryThreadWhileItLasts) {
  auto real = Support().Environment();
  auto fake = std::make_shared<FakeEnvironment>();
  {
    ScopedSupportOverride<EnvironmentObject> use_fake(fake);
    EXPECT_EQ(Support().Environment(), fake);  // replaces the object this thread already had
    OnNewThread([&] { EXPECT_EQ(Support().Environment()->Stamp(), "fixed"); });
    {
      int made = 0;
      ScopedSupportOverride<EnvironmentObject> counting(SupportFactory<EnvironmentObject>([&] {
        ++made;
        return std::make_shared<FakeEnvironment>();
      }));
      auto mine = Support().Environment();
      EXPECT_EQ(Support().Environment(), mine);
      OnNewThread([&] { Support().Environment(); });
      EXPECT_EQ(made, 2);
    }
    EXPECT_EQ(Support().Environment(), fake);
  }
  auto after = Support().Environment();
  EXPECT_NE(after, fake);
  EXPECT_NE(std::dynamic_pointer_cast<support::EnvironmentObject>(after), nullptr);
}

TEST_F(SupportObjectsTest, CryptoOverrideAndBack) {
  auto real = Support().Crypto();
  auto other = std::make_shared<support::CryptoService>();
  {
    ScopedSupportOverride<CryptoService> use_other{std::shared_ptr<CryptoService>(other)};
    EXPECT_EQ(Support().Crypto(), other);
  }
  EXPECT_EQ(Support().Crypto(), real);
}

TEST_F(SupportObjectsTest, FactoryThatMakesNothingRaises429) {
  ScopedSupportOverride<FileService> broken(SupportFactory<FileService>([] { return nullptr; }));
  try {
    Support().Files();
    FAIL() << "no error raised";
  } catch (const platform::BasicError& error) {
    EXPECT_EQ(error.number(), platform::kErrCannotCreateObject);
  }
}

TEST_F(SupportObjectsTest, CreateSupportObjectGivesAPrivateObject) {
  auto own = CreateSupportObject<RegistryObject>();
  EXPECT_NE(own, Support().Registry());
  EXPECT_NE(own, CreateSupportObject<RegistryObject>());
  EXPECT_NE(std::dynamic_pointer_cast<support::RegistryObject>(own), nullptr);
}

TEST_F(SupportObjectsTest, ResetDropsTheThreadsObjects) {
  auto before = Support().Registry();
  Support().Reset();
  EXPECT_NE(Support().Registry(), before);
}

// A client's resolver known only by its late-bound members.
class ClientResolver : public platform::com::Object {
 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<ClientResolver>({
        {"LookupString", platform::com::ArgRange{1, 2},
         [](ClientResolver&, platform::com::Args args) { return "client " + platform::CStr(args[0]); }},
    });
    return &table;
  }
};

TEST_F(SupportObjectsTest, AClientsResolverServesTheThreadUntilNothingIsHandedIn) {
  auto own = Support().Branding();
  EXPECT_EQ(Support().BrandingObject(), platform::com::ObjectPtr(own));

  auto client = std::make_shared<ClientResolver>();
  Support().SetBrandingObject(client);
  EXPECT_EQ(Support().Branding()->LookupString("{%strings%}/guest", ""), "client {%strings%}/guest");
  EXPECT_EQ(Support().BrandingObject(), platform::com::ObjectPtr(client));
  OnNewThread([] { EXPECT_EQ(Support().Branding()->LookupString("{%strings%}/guest", ""), "Guest"); });

  auto typed = CreateSupportObject<BrandingResolver>();
  Support().SetBrandingObject(typed);
  EXPECT_EQ(Support().Branding(), typed);  // a real resolver is used as it is

  Support().SetBrandingObject(nullptr);
  EXPECT_EQ(Support().Branding()->LookupString("{%strings%}/guest", ""), "Guest");
  platform::Err::Clear();
}

TEST_F(SupportObjectsTest, DiagnosticsReachTheSink) {
  std::vector<std::string> lines;
  SetSupportDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
  testing_support::WriteFileBytes(root_ / "config/branding.xml", "not xml");
  Support().Branding()->Initialise();
  SetSupportDiagnosticSink(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("branding.xml"), std::string::npos);
}

}  // namespace
}  // namespace contracts
