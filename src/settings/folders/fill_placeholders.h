// Message templates with the placeholders "%1" to "%5".
#pragma once

#include <string>

namespace settings {

// Expands the branding macros of `text_template`, then replaces every "%1" by
// a1, then every "%2" by a2, ... to "%5", matching case-sensitively. The
// replacements run in order over the growing text, so an argument holding a
// later placeholder has it filled too; a placeholder without an argument is
// removed.
std::string FillPlaceholders(const std::string& text_template, const std::string& a1 = {},
                             const std::string& a2 = {}, const std::string& a3 = {},
                             const std::string& a4 = {}, const std::string& a5 = {});

}  // namespace settings
