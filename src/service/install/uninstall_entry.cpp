#include "service/install/uninstall_entry.h"

#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/string_functions.h"
#include "systemlog/system_log.h"

namespace service {

void WriteUninstallEntry() {
  auto list = contracts::CreateSupportObject<contracts::RegistryObject>();
  if (!list->OpenKey(platform::registry::kHkeyLocalMachine, kUninstallKey, contracts::kRegistryFullAccess)) return;
  auto entry = contracts::CreateSupportObject<contracts::RegistryObject>();
  if (!entry->CreateKey(platform::registry::kHkeyLocalMachine,
                        std::string(kUninstallKey) + "\\" + kUninstallEntryName, contracts::kRegistryFullAccess)) {
    WriteSystemLog("Could not open or create ARP registry key");
    return;
  }
  WriteSystemLog("Setting ARP registry information");
  contracts::SupportObjects& support = contracts::Support();
  auto branding = support.Branding();
  auto version = support.Version();
  auto expand = [&](const std::string& text) { return branding->Expand(text, ""); };
  // File paths below the install folder are native paths: joined with "/".
  entry->WriteString("DisplayName", expand("%%PRODUCTNAMEFULL"));
  entry->WriteString("DisplayVersion", version->VersionText() + "." + version->BuildText());
  entry->WriteString("DisplayIcon", expand("{%instdir%}/res/" + platform::UCase(branding->IconBaseName()) + ".ICO"));
  entry->WriteString("Publisher", branding->LookupString("strings/arppublisher", ""));
  entry->WriteString("InstallSource", expand("\"{%cfdir%}/Norvale Shared\""));
  entry->WriteString("InstallLocation", expand("\"{%instdir%}\""));
  entry->WriteString("ModifyPath", expand("\"{%instdir%}/app/repair.exe\" -modify"));
  entry->WriteString("UninstallString", expand("\"{%instdir%}/app/repair.exe\" -remove"));
  const std::string publisher_link = branding->LookupString("strings/arppublisherlink", "");
  const std::string support_site = branding->LookupString("oobevars/supportwebsite", kDefaultSupportWebsite);
  if (support.Environment()->ShortNameFlag()) {
    entry->WriteString("HelpLink", publisher_link);
    entry->WriteString("URLInfoAbout", support_site);
  } else {
    entry->WriteString("HelpLink", support_site);
    entry->WriteString("URLInfoAbout", publisher_link);
  }
}

}  // namespace service
