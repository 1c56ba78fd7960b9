// The host's own type library "dwntserv.tlb": the toolkit interfaces the
// service implements (IdwEasyService, IdwEasyServConfig) and the host object
// it calls back (IdwEasyServiceHost). hearthd places it in the Windows
// system folder of its root, as the toolkit's installer would, so that the
// service's start registers it.
#pragma once

#include <string>

#include "platform/typelib/type_library.h"

namespace service {

platform::typelib::TypeLibrary ToolkitTypeLibrary();

// Writes the library to `path` (its folder created) unless a file is there
// already: an administrator's file is left alone. False with *error when it
// cannot be written.
bool PlaceToolkitTypeLibrary(const std::string& path, std::string* error);

}  // namespace service
