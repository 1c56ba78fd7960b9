// A command line cut into the program and its arguments, as a shell would
// cut it but without any of its expansions: blanks separate words, '...'
// keeps everything literally, "..." keeps everything but \" and \\, and a
// backslash outside quotes takes the next character as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace support {

// nullopt for a quote left open or a line ending in a lone backslash.
std::optional<std::vector<std::string>> CommandWords(std::string_view command_line);

}  // namespace support
