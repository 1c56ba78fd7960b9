// Feature sets: which of the suite's features (one letter each: "A"
// anti-virus, "F" firewall, "W", "P", "B", "D" the suite that "S" stands for
// in the allowed set) may run. The sets live as texts in the system
// collection; RecalculateFeatures works them out from what is allowed,
// installed (the branding configuration's "/features"), selected and
// disabled, and initialises newly available features from their init
// templates.
//
//   service::RecalculateFeatures(*system);            // at start-up
//   service::ProcessSettingsChange(system, user, sid);  // after every change
//
// No routine here raises: each step traps its own error (recorded as the
// thread's pending error) and the next step runs.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace settings {
class cSettings;
}

namespace service {

// The system settings of the feature sets.
inline constexpr char kFeaturesAllowed[] = "features.allowed";
inline constexpr char kFeaturesInstalled[] = "features.installed";
inline constexpr char kFeaturesAvailable[] = "features.available";
inline constexpr char kFeaturesInitialized[] = "features.initialized";
inline constexpr char kFeaturesSelected[] = "features.selected";
inline constexpr char kFeaturesEnabled[] = "features.enabled";
inline constexpr char kFeaturesDisabled[] = "features.disabled";
inline constexpr char kFeaturesRunnable[] = "features.runnable";
// Read from the current user's collection after each settings change.
inline constexpr char kPrivAdvancedSetting[] = "legacy.privadvanced";

// The letter of the allowed set that stands for the suite, and the suite.
inline constexpr char kSuiteLetter[] = "S";
inline constexpr char kSuiteFeatures[] = "WPBD";

// --- Letter arithmetic ------------------------------------------------------

// `set` with `letter` appended unless it holds it already (letter case
// counts). A `letter` that is not exactly one character leaves the set as it
// is and logs "AddFeature - Feature '<letter>' is not a valid feature".
std::string AddFeature(std::string_view set, std::string_view letter);

// `a` without any letter of `b` (letter case does not matter).
std::string FeatureDifference(std::string_view a, std::string_view b);

// The letters of `a`, in a's order and as often as a holds them, that occur
// in `b` (letter case does not matter).
std::string FeatureIntersection(std::string_view a, std::string_view b);

// --- The sets ---------------------------------------------------------------

// The "amsid" letters of the children of the branding configuration's
// "/features" fragment, logged as they are found.
std::string GetInstalledFeatures();

// Fills settings of the collection from the init template
// ("defaults/<template>/*" of the branding configuration: element name =
// setting name, text = value). Without `overwrite` only settings that are
// empty (missing or "") are filled. Always true.
bool ApplyInitTemplate(settings::cSettings& settings, std::string_view template_name, bool overwrite);

// Works out every "features." set of the (system) collection, logging each,
// initialises newly available features (selecting them and applying their
// packages' init templates) and then asks the plug-in registry for plug-ins
// not yet loaded.
void RecalculateFeatures(settings::cSettings& settings);

// What follows every settings change: RecalculateFeatures on the system
// collection, then, when a current-user collection exists, SetUninstallerID
// with its "legacy.privadvanced".
void ProcessSettingsChange(const std::shared_ptr<settings::cSettings>& system,
                           const std::shared_ptr<settings::cSettings>& user, std::string_view current_user_sid);

// Writes the current user's identifier (blanks trimmed) as the product key's
// "UninstallerID"; `enabled` only shows in the log line.
void SetUninstallerID(bool enabled, std::string_view current_user_sid);

}  // namespace service
