#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/xml/node.h"
#include "service/features/features.h"
#include "service/features/requery_feature_plugins.h"
#include "service/features/settings_text.h"
#include "settings/collection/c_settings.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

using detail::ReadSettingText;
using detail::WriteSettingText;

void LogSet(const std::string& label, const std::string& set) { WriteSystemLog(label + ": [" + set + "]"); }

// "S" in the allowed set stands for the whole suite.
std::string ExpandSuite(const std::string& allowed) {
  std::string expanded;
  for (char letter : allowed) {
    if (letter == kSuiteLetter[0]) {
      expanded += kSuiteFeatures;
    } else {
      expanded += letter;
    }
  }
  return expanded;
}

// Applies the init templates of every package item that brings `letter`.
void ApplyPackageTemplates(settings::cSettings& settings, char letter) {
  platform::xml::NodeList items;
  platform::Step([&] {
    items = contracts::Support().Branding()->LookupNodes("/packages//item[@feature='" + std::string(1, letter) + "']");
  });
  for (const platform::xml::Node& item : items) {
    const std::string template_name = item.GetAttribute("inittpl");
    if (template_name.empty()) continue;
    WriteSystemLog("Applying init template '" + template_name + "'");
    ApplyInitTemplate(settings, template_name, false);
  }
}

}  // namespace

void RecalculateFeatures(settings::cSettings& settings) {
  std::string allowed = ReadSettingText(settings, kFeaturesAllowed);
  if (allowed.find(kSuiteLetter[0]) != std::string::npos) {
    allowed = ExpandSuite(allowed);
    WriteSettingText(settings, kFeaturesAllowed, allowed);
  }
  LogSet("Allowed Features", allowed);

  const std::string installed = GetInstalledFeatures();
  WriteSettingText(settings, kFeaturesInstalled, installed);
  LogSet("Installed Features", installed);

  const std::string available = FeatureIntersection(allowed, installed);
  WriteSettingText(settings, kFeaturesAvailable, available);
  LogSet("Available Features", available);

  std::string initialized = ReadSettingText(settings, kFeaturesInitialized);
  LogSet("Initialized Features", initialized);

  const std::string uninitialized = FeatureDifference(available, initialized);
  LogSet("Uninitialized Features", uninitialized);

  // Features no longer available are initialised afresh should they return.
  if (const std::string gone = FeatureDifference(initialized, available); !gone.empty()) {
    initialized = FeatureDifference(initialized, gone);
    WriteSettingText(settings, kFeaturesInitialized, initialized);
    WriteSystemLog("Recalculated Initialized features to " + initialized);
  }

  std::string selected = ReadSettingText(settings, kFeaturesSelected);
  LogSet("Selected Features", selected);

  if (!uninitialized.empty()) {
    for (char letter : uninitialized) {
      const std::string feature(1, letter);
      WriteSystemLog("Initializing Feature '" + feature + "'");
      selected = AddFeature(selected, feature);
      initialized = AddFeature(initialized, feature);
      ApplyPackageTemplates(settings, letter);
    }
    WriteSettingText(settings, kFeaturesInitialized, initialized);
    WriteSettingText(settings, kFeaturesSelected, selected);
    WriteSystemLog("Initialized Features is now: [" + initialized + "]");
    WriteSystemLog("Selected Features is now: [" + selected + "]");
    platform::Step([] { RequeryFeaturePluginsForFeatures(); });
  }

  const std::string enabled = FeatureIntersection(available, selected);
  WriteSettingText(settings, kFeaturesEnabled, enabled);
  LogSet("Enabled Features", enabled);

  const std::string disabled = ReadSettingText(settings, kFeaturesDisabled);
  LogSet("Disabled Features", disabled);

  const std::string runnable = FeatureDifference(enabled, disabled);
  WriteSettingText(settings, kFeaturesRunnable, runnable);
  LogSet("Runnable Features", runnable);
}

}  // namespace service
