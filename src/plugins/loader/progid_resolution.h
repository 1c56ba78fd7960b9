// Where a plug-in's ProgID resolves, without creating it: "built in" (a
// class of this program), the path of the library registered for it, or
// "not registered".
#pragma once

#include <string>

namespace plugins::loader {

inline constexpr char kNotRegistered[] = "not registered";

std::string WhereProgIdResolves(const std::string& progid);

}  // namespace plugins::loader
