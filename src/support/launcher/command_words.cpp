#include "support/launcher/command_words.h"

namespace support {

std::optional<std::vector<std::string>> CommandWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      word.append(line.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '"') {
      size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        if (line[j] == '\\' && j + 1 < line.size() && (line[j + 1] == '"' || line[j + 1] == '\\')) ++j;
        word += line[j];
      }
      if (j >= line.size()) return std::nullopt;
      i = j;
    } else if (c == '\\') {
      if (i + 1 >= line.size()) return std::nullopt;
      word += line[++i];
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

}  // namespace support
