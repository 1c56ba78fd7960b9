// "runprogram" (through the platform shell, after branding expansion),
// "launchprocess" (through the launcher component, no shell), and the two
// actions that set state: "settimeformats" and "resetbranding".
#include <memory>
#include <string>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/ionotify/action_effects.h"
#include "plugins/ionotify/actions.h"
#include "plugins/ionotify/xml_text.h"

namespace plugins::ionotify {

void RunProgramAction(cIoNotify& io, const Node& action) {
  std::string command = ChildText(action, "commandline");
  platform::Step([&] { command = contracts::Support().Branding()->Expand(command, ""); });
  io.Trace("shelling to command line: " + command);
  if (!command.empty()) {
    platform::Step([&] {
      if (!CurrentActionEffects().run_shell(command)) {
        platform::RaiseError(platform::kErrFileNotFound, "the shell could not be started", "runprogram");
      }
    });
  }
  io.Trace("shell command completed with error '" + platform::Err::Description() + "'");
  platform::Err::Clear();
}

void LaunchProcessAction(cIoNotify& io, const Node& action) {
  const std::string command = ChildText(action, "commandline");
  io.Trace("Launch process: " + command);
  if (!command.empty()) {
    // A component of its own for each launch, released after it.
    platform::Step([&] {
      std::shared_ptr<contracts::Launcher> launcher = contracts::CreateSupportObject<contracts::Launcher>();
      if (launcher == nullptr) platform::RaiseError(platform::kErrCannotCreateObject, {}, "launchprocess");
      launcher->Launch(command);
    });
  }
  io.Trace("Launch process " + command + " completed");
  platform::Err::Clear();
}

void SetTimeFormatsAction(cIoNotify& io, const Node& action) {
  // A value that is no Boolean leaves the setting as it was.
  bool use_24_hour = io.Use24Hour();
  platform::Quietly([&] { use_24_hour = platform::CBool(platform::Variant(action.GetAttribute("HrFormat"))); });
  io.SetTimeFormats(action.GetAttribute("currDteFormat"), action.GetAttribute("currTmeFormat"), use_24_hour);
}

void ResetBrandingAction(cIoNotify& /*io*/) {
  ActionEffects effects = CurrentActionEffects();
  platform::Step([&] { effects.reset_branding(); });
  platform::Step([&] { effects.write_uninstall_entry(); });
}

}  // namespace plugins::ionotify
