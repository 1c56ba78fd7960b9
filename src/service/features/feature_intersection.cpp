#include <string>

#include "service/features/feature_letters.h"
#include "service/features/features.h"

namespace service {

std::string FeatureIntersection(std::string_view a, std::string_view b) {
  std::string result;
  for (char letter : a) {
    if (detail::HoldsLetter(b, letter)) result += letter;
  }
  return result;
}

}  // namespace service
