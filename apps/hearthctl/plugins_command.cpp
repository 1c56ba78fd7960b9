// The "plugins" commands: registering plug-in libraries in the hive, the
// ranked plug-in list with where each ProgID resolves, and a running
// plug-in's status through the service's bus interface.
#include <systemd/sd-bus.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bus/bus_names.h"
#include "bus_client.h"
#include "command.h"
#include "contracts/notifier.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "platform/xml/document.h"
#include "plugins/loader/plugin_loader.h"
#include "plugins/loader/progid_resolution.h"
#include "plugins/notify/feature_plugins.h"
#include "typelib/norv_io_core_events.h"

namespace hearthctl {
namespace {

const GroupRegistration kGroup{
    "plugins", "register feature plug-ins and look at them",
    "A plug-in is a shared object built against the plug-in SDK (pkg-config hearth-sdk). It is registered\n"
    "under HKEY_CLASSES_ROOT\\<ProgID>\\InprocServer32 and loaded by the service when the \"plugins/system\"\n"
    "list of the branding configuration names its ProgID."};

int Register(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 2, 2, {}, &parsed, io, &exit_code)) return exit_code;
  const std::string& progid = parsed.positional[0];
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(parsed.positional[1], error).lexically_normal();
  if (error || !std::filesystem::is_regular_file(path)) {
    return Report(io, self, "no such file: " + parsed.positional[1], kExitFailure);
  }
  const auto result = plugins::loader::RegisterPluginLibrary(progid, path.string());
  if (result == 87) return UsageError(io, self, "a ProgID may not be empty or hold \"\\\": " + progid);
  if (result != 0) return Report(io, self, "the registry refused the write (error " + std::to_string(result) + ")", kExitFailure);
  io.out << progid << " -> " << path.string() << "\n";
  return kExitOk;
}

int Unregister(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  const std::string& progid = parsed.positional[0];
  if (!plugins::loader::RegisteredLibrary(progid)) {
    return Report(io, self, progid + " is not registered to a plug-in library", kExitFailure);
  }
  const auto result = plugins::loader::UnregisterPluginLibrary(progid);
  if (result != 0) return Report(io, self, "the registry refused the change (error " + std::to_string(result) + ")", kExitFailure);
  io.out << "unregistered " << progid << "\n";
  return kExitOk;
}

// Where a ProgID resolves, and what creating it gives.
std::string Resolution(const std::string& progid) {
  const std::string where = plugins::loader::WhereProgIdResolves(progid);
  if (where == plugins::loader::kNotRegistered) return where;
  platform::com::ObjectPtr object;
  platform::Err::Clear();
  if (!platform::Step([&] { object = platform::com::CreateObject(progid); }) || !object) {
    std::string why = platform::Err::Description();
    platform::Err::Clear();
    return where + "  fails: " + why;
  }
  if (platform::com::QueryInterface<contracts::INotifierHost>(object)) return where + "  loads (notifier plug-in)";
  if (platform::com::QueryInterface<typelib::INorvIoCoreEvents>(object)) return where + "  loads (events plug-in)";
  return where + "  loads, but implements neither plug-in interface (" + object->TypeName() + ")";
}

int List(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 0, 0, {}, &parsed, io, &exit_code)) return exit_code;
  plugins::loader::InstallSharedObjectLoader();
  std::string xml;
  platform::Step([&] { xml = contracts::Support().Branding()->ConfigurationXml("plugins/system", ""); });
  platform::xml::Document document;
  if (!document.LoadXml(xml) || !document.DocumentElement()) {
    io.out << "no plug-ins listed (\"plugins/system\" of the branding configuration)\n";
    return kExitOk;
  }
  std::vector<platform::xml::Node> left_out;
  platform::xml::Node sorted = plugins::SortChildrenQuietly(document.DocumentElement(), "rank", &left_out);
  for (platform::xml::Node entry = sorted.FirstChild(); entry; entry = entry.NextSibling()) {
    const std::string progid = entry.SelectSingleNode("progid").Text();
    io.out << entry.GetAttribute("rank") << "  " << (progid.empty() ? "(no progid)" : progid) << "  "
           << (progid.empty() ? "never created" : Resolution(progid)) << "\n";
  }
  for (const auto& entry : left_out) io.out << "left out (no positive rank): " << entry.Xml() << "\n";
  return kExitOk;
}

int Status(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 2, {}, &parsed, io, &exit_code)) return exit_code;
  const std::string& progid = parsed.positional[0];
  const std::string sub_status = parsed.positional.size() > 1 ? parsed.positional[1] : "";
  BusClient client;
  std::string error;
  if (!ConnectToRootService(client, &error)) return Report(io, self, error, kExitFailure);
  BusReply reply = client.Call(
      bus::kApplicationPath, bus::kApplicationInterface, "IoGetFeaturePluginStatus",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "ss", progid.c_str(), sub_status.c_str()); },
      &error);
  int status = 0;
  if (!reply) return Report(io, self, "the service did not answer: " + error, kExitFailure);
  if (sd_bus_message_read(reply.get(), "b", &status) < 0) {
    return Report(io, self, "the service's answer could not be read", kExitFailure);
  }
  io.out << progid << (sub_status.empty() ? "" : " " + sub_status) << ": " << (status ? "OK" : "NOT ok") << "\n";
  return status ? kExitOk : kExitFailure;
}

const CommandRegistration kRegister{{
    .group = "plugins",
    .name = "register",
    .arguments = "PROGID PATH",
    .summary = "register a plug-in library under a ProgID",
    .details = "Writes the library's absolute path as the default value of\n"
               "HKEY_CLASSES_ROOT\\PROGID\\InprocServer32. One library may serve several ProgIDs.",
    .run = Register,
}};
const CommandRegistration kUnregister{{
    .group = "plugins",
    .name = "unregister",
    .arguments = "PROGID",
    .summary = "remove a ProgID's plug-in library registration",
    .details = "Deletes HKEY_CLASSES_ROOT\\PROGID with everything below it. Exit 1 when it is not registered.",
    .run = Unregister,
}};
const CommandRegistration kList{{
    .group = "plugins",
    .name = "list",
    .arguments = "",
    .summary = "the ranked plug-in list, where each ProgID resolves and whether it loads",
    .details = "Reads \"plugins/system\" of the branding configuration, in the order the service creates the\n"
               "plug-ins. Each plug-in is loaded (and released) to tell whether it loads.",
    .run = List,
}};
const CommandRegistration kStatus{{
    .group = "plugins",
    .name = "status",
    .arguments = "PROGID [SUBSTATUS]",
    .summary = "ask the running service for a plug-in's status",
    .details = "Calls Application.IoGetFeaturePluginStatus of the running hearthd on the system bus\n"
               "(DBUS_SYSTEM_BUS_ADDRESS, else the usual socket). Exit 0 when the status is OK, 1 otherwise.",
    .run = Status,
}};

}  // namespace
}  // namespace hearthctl
