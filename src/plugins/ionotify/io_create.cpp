// IoCreate: creates an object described by an XML element, optionally calls
// a start method on it with the element, and keeps it by a reference id until
// a "Terminate" request for that id.
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/com/class_registry.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/object_table.h"
#include "plugins/ionotify/xml_element_object.h"

namespace plugins::ionotify {
namespace {

std::string LocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// A server name that means this machine is no server name at all.
bool IsThisMachine(const std::string& server) {
  const std::string lower = platform::LCase(server);
  return lower.empty() || lower == "localhost" || lower == "." || lower == platform::LCase(LocalHostName());
}

}  // namespace

platform::com::ObjectPtr cIoNotify::IoCreate(const platform::xml::Node& FTNode) {
  platform::com::ObjectPtr object;
  platform::Err::Clear();
  const std::string progid = FTNode.GetAttribute("progid");
  std::string refid = FTNode.GetAttribute("refid");
  const std::string start_method = FTNode.GetAttribute("startmethod");
  const std::string server = FTNode.GetAttribute("servername");
  if (refid.empty()) refid = progid;
  if (Tracing()) Trace("IoCreate - XML is \r\n" + FTNode.Xml());
  ObjectTable& table = Objects();

  if (start_method != "Terminate") {
    platform::Step([&] {
      if (!IsThisMachine(server)) {
        platform::RaiseError(platform::kErrRemoteServerUnavailable,
                             "cannot create '" + progid + "' on server '" + server +
                                 "': objects are created on this machine only",
                             "IoCreate");
      }
      object = platform::com::CreateObject(progid);
    });
    if (object != nullptr && !start_method.empty()) {
      Trace("IoCreate - Calling method " + start_method);
      platform::Quietly([&] {
        std::vector<platform::Variant> args{platform::Variant::Array({platform::Variant(WrapXmlNode(FTNode))})};
        platform::com::CallByName(object, start_method, args);
      });
      Trace("IoCreate - Returned from method " + start_method);
    }
    if (object != nullptr) {
      // A reference id already in the table keeps its object; the new one is
      // still the result.
      table.Add(refid, object);
    } else {
      Trace("IoCreate - could not create object with refid " + refid + ". The error is '" +
            platform::Err::Description() + "'");
    }
    platform::Err::Clear();
    return object;
  }

  Trace("IoCreate - Terminating object with Ref ID " + refid);
  platform::com::ObjectPtr held = table.Take(refid);
  if (held != nullptr) platform::Quietly([&] { platform::com::CallByName(held, "Terminate"); });
  platform::Err::Clear();
  return nullptr;
}

}  // namespace plugins::ionotify
