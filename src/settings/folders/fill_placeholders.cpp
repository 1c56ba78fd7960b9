#include "settings/folders/fill_placeholders.h"

#include <array>

#include "contracts/support_objects.h"
#include "settings/folders/ignore_errors.h"

namespace settings {
namespace {

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  size_t at = 0;
  while ((at = text.find(what, at)) != std::string::npos) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
}

}  // namespace

std::string FillPlaceholders(const std::string& text_template, const std::string& a1, const std::string& a2,
                             const std::string& a3, const std::string& a4, const std::string& a5) {
  std::string text = text_template;
  IgnoringErrors([&] { text = contracts::Support().Branding()->Expand(text_template, ""); });
  const std::array<const std::string*, 5> args{&a1, &a2, &a3, &a4, &a5};
  std::string placeholder = "%1";
  for (const std::string* arg : args) {
    ReplaceAll(text, placeholder, *arg);
    ++placeholder[1];
  }
  return text;
}

}  // namespace settings
