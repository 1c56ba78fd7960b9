// IHostResolved: what a caller of the name resolver implements to hear the
// answer to a lookup. HostResolved(hostname, ipaddress) gets the host name
// and its addresses (dotted, joined by single spaces); a failed lookup leaves
// the part it could not find empty. The result is ignored.
//
// Late-bound callers reach it as the member "HostResolved" with two texts.
#pragma once

#include <string>

#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"

namespace typelib {

class IHostResolved : public virtual platform::com::Object {
 public:
  virtual platform::Variant HostResolved(const std::string& hostname, const std::string& ipaddress) = 0;

  // The interface's members, for implementing classes to list as a base.
  static const platform::com::DispatchTable& InterfaceTable() {
    using platform::com::Args;
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<IHostResolved>({
        {"HostResolved", 2,
         [](IHostResolved& self, Args args) {
           return self.HostResolved(platform::CStr(args[0]), platform::CStr(args[1]));
         }},
    });
    return table;
  }

 protected:
  const platform::com::DispatchTable* Dispatch() const override { return &InterfaceTable(); }
};

}  // namespace typelib
