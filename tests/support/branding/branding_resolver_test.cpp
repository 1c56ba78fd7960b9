#include "support/branding/branding_resolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "branding_fixture.h"
#include "platform/basic/conversions.h"
#include "platform/registry/registry_helpers.h"
#include "platform/xml/document.h"

namespace support {
namespace {

using platform::xml::Document;

constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

// A configuration of the test's own: shared strings and macros, one extra
// brand that changes some of them.
constexpr char kTwoBrands[] = R"(<?xml version="1.0"?>
<branding defaultbrand="veltris">
  <macros>
    <macro name="%%PRODUCTNAMESHORT">Veltris</macro>
    <macro name="%%PRODUCTNAMEFULL">%%PRODUCTNAMESHORT Suite</macro>
  </macros>
  <strings><guest>Guest</guest><qorhearth>Veltris Service</qorhearth></strings>
  <plugins><system><plugin rank="1"><progid>Shared.Plugin</progid></plugin></system></plugins>
  <brand name="lumen">
    <macros><macro name="%%PRODUCTNAMESHORT">Lumen</macro></macros>
    <strings><qorhearth>Lumen Service</qorhearth></strings>
    <plugins><system><plugin rank="1"><progid>Lumen.Plugin</progid></plugin></system></plugins>
  </brand>
</branding>
)";

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("HEARTH_SOURCE_DIR");
  return dir != nullptr ? dir : HEARTH_SOURCE_DIR_FALLBACK;
}

TEST_F(SupportBranding, FirstUseCopiesTheShippedFileToTheRoot) {
  EXPECT_FALSE(std::filesystem::exists(BrandingFilePath()));
  BrandingResolver resolver;
  resolver.Initialise();
  ASSERT_TRUE(std::filesystem::exists(root_ / "config/branding.xml"));
  const std::string copy = testing_support::ReadFileBytes(root_ / "config/branding.xml");
  EXPECT_EQ(copy, std::string(ShippedBrandingXml()));
  EXPECT_EQ(copy, testing_support::ReadFileBytes(SourceDir() / "config/branding.xml"));
  EXPECT_TRUE(diagnostics_.empty());
}

TEST_F(SupportBranding, AnswersEveryDefaultLookupOfTheShippedConfiguration) {
  struct Case {
    const char* path;
    const char* fallback;
    const char* expected;
  } cases[] = {
      {"{%strings%}/guest", ".guest", "Guest"},
      {"{%strings%}/qorhearth", "QOR Security System Service", "Veltris Security System Service"},
      {"strings/arppublisher", "", "Norvale"},
      {"strings/arppublisherlink", "", "https://www.norvale.example/"},
      {"oobevars/supportwebsite", "", "https://support.norvale.example/veltris"},
      {"{%strings%}/anunknownuser", ".An unknown user", "An unknown user"},
      {"{%strings%}/thiscomputer", ".This Computer", "This Computer"},
      {"logs/alert/allowed", "", "true"},
      {"{%strings%}/icon", "", "veltris"},
  };
  BrandingResolver resolver;
  for (const Case& c : cases) EXPECT_EQ(resolver.LookupString(c.path, c.fallback), c.expected) << c.path;
  EXPECT_EQ(resolver.IconBaseName(), "veltris");
  EXPECT_EQ(resolver.ActiveBrand(), "veltris");
}

TEST_F(SupportBranding, MissingOrUnusablePathGivesTheDefault) {
  BrandingResolver resolver;
  for (const char* path : {"{%strings%}/nosuchstring", "nosuch/section", "", "/", "strings/[", "'unbalanced"}) {
    EXPECT_EQ(resolver.LookupString(path, ".fallback"), ".fallback") << path;
    EXPECT_EQ(resolver.ConfigurationXml(path, ""), "") << path;
    EXPECT_TRUE(resolver.LookupNodes(path).Empty()) << path;
  }
}

TEST_F(SupportBranding, ShippedPluginListIsAnEmptyLoadableFragment) {
  BrandingResolver resolver;
  const std::string xml = resolver.ConfigurationXml("plugins/system", "");
  EXPECT_EQ(xml, "<system/>");
  Document document;
  ASSERT_TRUE(document.LoadXml(xml));
  EXPECT_FALSE(document.DocumentElement().HasChildNodes());
}

TEST_F(SupportBranding, FeaturesFragmentListsTheInstalledLetters) {
  BrandingResolver resolver;
  Document document;
  ASSERT_TRUE(document.LoadXml(resolver.ConfigurationXml("/features", "")));
  std::string letters;
  for (const auto& feature : document.DocumentElement().ChildNodes()) letters += feature.GetAttribute("amsid");
  EXPECT_EQ(letters, "AFWPBD");
}

TEST_F(SupportBranding, PackageItemsAndInitTemplatesByXPath) {
  BrandingResolver resolver;
  auto items = resolver.LookupNodes("/packages//item[@feature='A']");
  ASSERT_EQ(items.Length(), 1u);
  EXPECT_EQ(items.Item(0).GetAttribute("inittpl"), "antivirus");
  EXPECT_EQ(resolver.LookupNodes("/packages//item[@feature='W']").Item(0).GetAttribute("inittpl"), "");
  EXPECT_TRUE(resolver.LookupNodes("/packages//item[@feature='Z']").Empty());

  auto defaults = resolver.LookupNodes("defaults/firewall/*");
  ASSERT_EQ(defaults.Length(), 1u);
  EXPECT_EQ(defaults.Item(0).NodeName(), "legacy.featureFirewall");
  EXPECT_EQ(defaults.Item(0).Text(), "True");
  EXPECT_EQ(resolver.LookupNodes("defaults/antivirus/*").Item(0).NodeName(), "legacy.featureAntivirus");
}

TEST_F(SupportBranding, ChangingReturnedNodesLeavesTheConfigurationAlone) {
  BrandingResolver resolver;
  auto nodes = resolver.LookupNodes("defaults/antivirus/*");
  ASSERT_EQ(nodes.Length(), 1u);
  nodes.Item(0).SetText("False");
  nodes.Item(0).ParentNode().RemoveChild(nodes.Item(0));
  EXPECT_EQ(resolver.LookupNodes("defaults/antivirus/*").Item(0).Text(), "True");
}

TEST_F(SupportBranding, ExpandsTheFourMacros) {
  BrandingResolver resolver;
  const std::string root = root_.str();
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"%%PRODUCTNAMESHORT", "Veltris"},
      {"%%PRODUCTNAMEFULL", "Norvale Veltris Security Suite"},
      {"{%instdir%}", root + "/program files/Norvale/Veltris"},
      {"{%cfdir%}", root + "/commonfiles"},
      {"\"{%instdir%}/app/repair.exe\" -modify",
       "\"" + root + "/program files/Norvale/Veltris/app/repair.exe\" -modify"},
      {"\"{%cfdir%}/Norvale Shared/\"", "\"" + root + "/commonfiles/Norvale Shared/\""},
      {"Welcome to %%PRODUCTNAMESHORT!", "Welcome to Veltris!"},
      {"", ""},
      {"plain text", "plain text"},
      {"50% done, %1 of %2", "50% done, %1 of %2"},
      {"{%unknown%} %%UNKNOWN", "{%unknown%} %%UNKNOWN"},
  };
  for (const Case& c : cases) EXPECT_EQ(resolver.Expand(c.text, ""), c.expected) << c.text;
}

TEST_F(SupportBranding, InstallFolderComesFromTheRegistryWhenRecorded) {
  ASSERT_EQ(platform::registry::WriteStringValue(platform::registry::kHkeyLocalMachine, kProductKey, "installdir",
                                                 "/opt/veltris"),
            0);
  BrandingResolver resolver;
  EXPECT_EQ(resolver.Expand("{%instdir%}/res/VELTRIS.ICO", ""), "/opt/veltris/res/VELTRIS.ICO");
}

TEST_F(SupportBranding, CommonFilesFolderFallsBackWhenTheFolderComponentAnswersEmpty) {
  WriteMachineConfig("CommonFilesFolder =\n");
  BrandingResolver resolver;
  EXPECT_EQ(resolver.Expand("{%cfdir%}", ""), root_.str() + "/program files/common files");
}

TEST_F(SupportBranding, AdministratorsCopyWinsAndIsNeverOverwritten) {
  WriteConfiguration(kTwoBrands);
  BrandingResolver resolver;
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Veltris Service");
  EXPECT_EQ(resolver.LookupString("oobevars/supportwebsite", "default site"), "default site");
  EXPECT_EQ(resolver.Expand("%%PRODUCTNAMEFULL", ""), "Veltris Suite");  // a macro built on another
  EXPECT_EQ(testing_support::ReadFileBytes(BrandingFilePath()), kTwoBrands);
}

TEST_F(SupportBranding, DamagedCopyFallsBackToTheShippedConfigurationAndIsKept) {
  const std::string damaged = "<branding><strings><guest>Half";
  WriteConfiguration(damaged);
  BrandingResolver resolver;
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ".guest"), "Guest");
  ASSERT_EQ(diagnostics_.size(), 1u);
  EXPECT_NE(diagnostics_[0].find("using the shipped configuration"), std::string::npos) << diagnostics_[0];
  EXPECT_EQ(testing_support::ReadFileBytes(BrandingFilePath()), damaged);
}

TEST_F(SupportBranding, BrandFromTheMachineConfigurationOverlaysTheSharedOne) {
  WriteConfiguration(kTwoBrands);
  WriteMachineConfig("Brand = Lumen\n");
  BrandingResolver resolver;
  EXPECT_EQ(resolver.ActiveBrand(), "Lumen");
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Lumen Service");
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ""), "Guest");  // shared
  EXPECT_EQ(resolver.Expand("%%PRODUCTNAMESHORT", ""), "Lumen");
  EXPECT_NE(resolver.ConfigurationXml("plugins/system", "").find("Lumen.Plugin"), std::string::npos);
  // A brand named for one call only.
  EXPECT_EQ(resolver.Expand("%%PRODUCTNAMESHORT", "veltris"), "Veltris");
  EXPECT_NE(resolver.ConfigurationXml("plugins/system", "veltris").find("Shared.Plugin"), std::string::npos);
}

TEST_F(SupportBranding, SwitchBrandFollowsTheConfigurationOrTheNamedBrand) {
  WriteConfiguration(kTwoBrands);
  BrandingResolver resolver;
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Veltris Service");

  WriteMachineConfig("Brand = lumen\n");
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Veltris Service");  // not yet switched
  resolver.SwitchBrand("");
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Lumen Service");

  resolver.SwitchBrand("veltris");
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Veltris Service");
  resolver.Reset();  // a named brand stays through a reset
  EXPECT_EQ(resolver.ActiveBrand(), "veltris");
  EXPECT_TRUE(diagnostics_.empty());
}

TEST_F(SupportBranding, UnknownBrandUsesTheSharedConfigurationAndSaysSo) {
  WriteConfiguration(kTwoBrands);
  BrandingResolver resolver;
  resolver.SwitchBrand("nosuchbrand");
  resolver.Initialise();
  EXPECT_EQ(resolver.LookupString("{%strings%}/qorhearth", ""), "Veltris Service");
  ASSERT_FALSE(diagnostics_.empty());
  EXPECT_NE(diagnostics_.back().find("Brand 'nosuchbrand'"), std::string::npos) << diagnostics_.back();
}

TEST_F(SupportBranding, ResetReadsTheConfigurationAnew) {
  BrandingResolver resolver;
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ""), "Guest");
  const std::string default_install = resolver.Expand("{%instdir%}", "");

  std::string edited = kTwoBrands;
  edited.replace(edited.find("<guest>Guest"), 12, "<guest>Visitor");
  WriteConfiguration(edited);
  ASSERT_EQ(platform::registry::WriteStringValue(platform::registry::kHkeyLocalMachine, kProductKey, "installdir",
                                                 "/opt/new"),
            0);
  // Answers come from what was read before...
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ""), "Guest");
  EXPECT_EQ(resolver.Expand("{%instdir%}", ""), default_install);
  // ...until a reset.
  resolver.Reset();
  resolver.Initialise();
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ""), "Visitor");
  EXPECT_EQ(resolver.Expand("{%instdir%}", ""), "/opt/new");
}

TEST_F(SupportBranding, MembersAreReachableByLateBoundCalls) {
  auto resolver = std::make_shared<BrandingResolver>();
  platform::com::ObjectPtr object = resolver;
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "lookupstring", {"{%strings%}/guest", ".guest"})),
            "Guest");
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "LookupString", {"{%strings%}/nosuch"})), "");
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "Expand", {"%%PRODUCTNAMESHORT"})), "Veltris");
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "ConfigurationXml", {"plugins/system", ""})), "<system/>");
  platform::com::CallByName(object, "Reset", {});
  platform::com::CallByName(object, "Initialise", {});
  EXPECT_EQ(platform::CStr(platform::com::CallByName(object, "ActiveBrand", {})), "veltris");
}

}  // namespace
}  // namespace support

namespace support {
namespace {

TEST_F(SupportBranding, ThreadsCopyingAtOnceLeaveOneWholeFile) {
  std::vector<std::thread> threads;
  std::atomic<int> answered{0};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      BrandingResolver resolver;
      if (resolver.LookupString("{%strings%}/guest", "") == "Guest") ++answered;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(answered.load(), 8);
  EXPECT_EQ(testing_support::ReadFileBytes(BrandingFilePath()), std::string(ShippedBrandingXml()));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root_ / "config")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"branding.xml"});
}

TEST_F(SupportBranding, UnwritableRootStillAnswersFromTheShippedConfiguration) {
  testing_support::WriteFileBytes(root_ / "config", "a file where the folder should be");
  BrandingResolver resolver;
  EXPECT_EQ(resolver.LookupString("{%strings%}/guest", ".guest"), "Guest");
  ASSERT_EQ(diagnostics_.size(), 1u);
  EXPECT_NE(diagnostics_[0].find("Could not write"), std::string::npos) << diagnostics_[0];
}

}  // namespace
}  // namespace support
