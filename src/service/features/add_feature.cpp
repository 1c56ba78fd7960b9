#include <string>

#include "service/features/features.h"
#include "systemlog/system_log.h"

namespace service {

std::string AddFeature(std::string_view set, std::string_view letter) {
  if (letter.size() != 1) {
    WriteSystemLog("AddFeature - Feature '" + std::string(letter) + "' is not a valid feature");
    return std::string(set);
  }
  std::string result(set);
  if (result.find(letter[0]) == std::string::npos) result += letter[0];
  return result;
}

}  // namespace service
