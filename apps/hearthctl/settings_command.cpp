// The "settings" commands: the stored settings files as their XML snapshot.
#include <string>

#include "command.h"
#include "settings/collection/stored_snapshot.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{"settings", "look at the stored settings collections"};

std::string OwnerText(const std::string& owner) {
  if (owner.empty()) return "the system collection";
  if (owner == "*") return "the guest profile";
  return "user " + owner;
}

int Dump(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--user"}, &parsed, &error)) return UsageError(io, self, error);
  if (!parsed.positional.empty()) return UsageError(io, self, "too many arguments");
  const std::string owner = parsed.Option("--user");
  if (parsed.Has("--user") && owner.empty()) return UsageError(io, self, "--user needs a SID (or * for the guest)");

  const settings::StoredSnapshot snapshot = settings::ReadStoredSnapshot(owner);
  switch (snapshot.status) {
    case settings::StoredSnapshot::Status::kOk:
      io.out << snapshot.xml << "\n";
      return kExitOk;
    case settings::StoredSnapshot::Status::kMissing:
      return Report(io, self, "no settings file for " + OwnerText(owner) + " (" + snapshot.path + ")", kExitFailure);
    case settings::StoredSnapshot::Status::kDamaged:
      break;
  }
  return Report(io, self,
                "the settings file for " + OwnerText(owner) + " is damaged: " + snapshot.path +
                    " (a wrong checksum, too short, or not a settings snapshot for this owner)",
                kExitFailure);
}

const CommandRegistration kDump{{
    .group = "settings",
    .name = "dump",
    .arguments = "[--user SID]",
    .summary = "print a stored settings file as its XML snapshot",
    .details = "Without --user: the system collection's file. --user SID: that user's file; --user '*': the\n"
               "guest profile's. Nothing on disk is changed. Exit 1 when the file is missing or damaged.",
    .run = Dump,
}};

}  // namespace
}  // namespace hearthctl
