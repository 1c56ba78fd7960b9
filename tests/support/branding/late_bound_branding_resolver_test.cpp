#include "support/branding/late_bound_branding_resolver.h"

#include <gtest/gtest.h>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"

namespace support {
namespace {

using platform::Variant;
using platform::com::ArgRange;
using platform::com::Args;

// A client's resolver that knows only two of the members.
class ClientResolver : public platform::com::Object {
 public:
  std::string last_brand = "unset";

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<ClientResolver>({
        {"LookupString", ArgRange{1, 2},
         [](ClientResolver&, Args args) { return "client:" + platform::CStr(args[0]); }},
        {"SwitchBrand", 1, [](ClientResolver& self, Args args) { self.last_brand = platform::CStr(args[0]); }},
        {"LookupNodes", 1, [](ClientResolver&, Args) { return std::string("<nodes><a>1</a><b>2</b></nodes>"); }},
    });
    return &table;
  }
};

TEST(SupportLateBoundBranding, CallsTheClientsMembersAndDefaultsTheRest) {
  auto client = std::make_shared<ClientResolver>();
  LateBoundBrandingResolver resolver(client);
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ".guest"), "client:{%strings%}/guest");
  resolver.SwitchBrand("lumen");
  EXPECT_EQ(client->last_brand, "lumen");
  auto nodes = resolver.LookupNodes("defaults/x/*");
  ASSERT_EQ(nodes.Length(), 2u);
  EXPECT_EQ(nodes.Item(1).NodeName(), "b");

  platform::Err::Clear();
  EXPECT_EQ(resolver.Expand("%%PRODUCTNAMESHORT", ""), "%%PRODUCTNAMESHORT");  // no such member
  EXPECT_EQ(platform::Err::Number(), platform::kErrNoSuchMember);
  EXPECT_EQ(resolver.ConfigurationXml("plugins/system", ""), "");
  resolver.Initialise();
  resolver.Reset();
  platform::Err::Clear();
}

TEST(SupportLateBoundBranding, NothingAnswersLikeAnEmptyConfiguration) {
  LateBoundBrandingResolver resolver(nullptr);
  EXPECT_EQ(resolver.LookupString("strings/x", "dflt"), "dflt");
  EXPECT_EQ(resolver.Expand("text", ""), "text");
  EXPECT_TRUE(resolver.LookupNodes("x/*").Empty());
  platform::Err::Clear();
}

}  // namespace
}  // namespace support
