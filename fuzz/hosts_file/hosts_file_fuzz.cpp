// Outside text as the resolver's hosts file: HostsFile::Parse, and Refresh
// reading the same text from a file in a private root.
//
// The answers are checked against a plain reading of the lines ("address
// name [aliases...]", '#' starting a comment, lines whose first field is not
// a dotted IPv4 address skipped):
//   - every name and alias listed answers forward, in any letter case and
//     with or without one final dot, with the official name of the first
//     line that lists it and the addresses of every such line, in file order
//     and each once;
//   - every address listed answers in reverse with the official name of the
//     first line that has it, and that address alone;
//   - a name or an address that no line lists has no answer;
//   - the file read through Refresh answers as the text parsed.
#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/private_root.h"
#include "support/sock/hosts_file.h"

namespace {

struct Line {
  int32_t address;
  std::vector<std::string> names;
};

std::vector<Line> Read(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = line.substr(0, line.find('#'));
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
      if (std::isspace(static_cast<unsigned char>(c))) {
        if (!field.empty()) fields.push_back(std::move(field));
        field.clear();
      } else {
        field.push_back(c);
      }
    }
    if (!field.empty()) fields.push_back(std::move(field));
    if (fields.size() < 2) continue;
    in_addr address{};
    if (inet_pton(AF_INET, fields[0].c_str(), &address) != 1) continue;
    lines.push_back({static_cast<int32_t>(ntohl(address.s_addr)), {fields.begin() + 1, fields.end()}});
  }
  return lines;
}

// Names compare without letter case and without one final dot.
std::string Key(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

support::LookupResult ExpectedForward(const std::vector<Line>& lines, std::string_view name) {
  support::LookupResult expected;
  for (const Line& line : lines) {
    if (std::none_of(line.names.begin(), line.names.end(), [&](const std::string& n) { return Key(n) == Key(name); }))
      continue;
    if (!expected.ok) expected.name = line.names.front();
    expected.ok = true;
    if (std::find(expected.addresses.begin(), expected.addresses.end(), line.address) == expected.addresses.end())
      expected.addresses.push_back(line.address);
  }
  return expected;
}

void CheckForward(const support::HostsFile& hosts, const std::vector<Line>& lines, const std::string& name) {
  for (const std::string& asked : {name, Key(name), Key(name) + "."}) {
    const support::LookupResult expected = ExpectedForward(lines, asked);
    const auto found = hosts.Forward(asked);
    if (!expected.ok) {
      if (found) __builtin_trap();
      continue;
    }
    if (!found || !found->ok || found->name != expected.name || found->addresses != expected.addresses)
      __builtin_trap();
  }
}

void CheckReverse(const support::HostsFile& hosts, const std::vector<Line>& lines, int32_t address) {
  const auto first =
      std::find_if(lines.begin(), lines.end(), [&](const Line& line) { return line.address == address; });
  const auto found = hosts.Reverse(address);
  if (first == lines.end()) {
    if (found) __builtin_trap();
    return;
  }
  if (!found || !found->ok || found->name != first->names.front() ||
      found->addresses != std::vector<int32_t>{address})
    __builtin_trap();
}

void CheckAll(const support::HostsFile& hosts, const std::vector<Line>& lines, std::string_view text) {
  size_t asked = 0;
  for (const Line& line : lines) {
    CheckReverse(hosts, lines, line.address);
    CheckReverse(hosts, lines, ~line.address);
    for (const std::string& name : line.names) {
      if (++asked > 64) return;
      CheckForward(hosts, lines, name);
    }
  }
  // The whole text and its first word are names too, most often unlisted.
  CheckForward(hosts, lines, std::string(text.substr(0, 64)));
  CheckForward(hosts, lines, std::string(text.substr(0, text.find_first_of(" \t\n"))));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<Line> lines = Read(text);

  support::HostsFile parsed("/nonexistent");
  parsed.Parse(text);
  CheckAll(parsed, lines, text);

  static const std::string path = (fuzz_support::UsePrivateRoot("hosts-file") / "hosts").string();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  support::HostsFile read(path);
  read.Refresh();
  CheckAll(read, lines, text);
  return 0;
}
