#include "reg_value_text.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/registry/key_path.h"

namespace hearthctl {
namespace {

namespace reg = platform::registry;

std::string Hex(std::string_view data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : data) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

template <class Number>
bool ParseNumber(std::string_view text, Number* number) {
  std::string copy(text);
  if (copy.empty() || copy[0] == '-' || copy[0] == '+' || std::isspace(static_cast<unsigned char>(copy[0]))) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  if (value > static_cast<unsigned long long>(static_cast<Number>(-1))) return false;
  *number = static_cast<Number>(value);
  return true;
}

}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      static const char kDigits[] = "0123456789abcdef";
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string FormatValueData(DWORD type, std::string_view data) {
  switch (type) {
    case reg::kRegSz:
    case reg::kRegExpandSz:
      return EscapeText(data.substr(0, data.find('\0')));
    case reg::kRegMultiSz: {
      while (!data.empty() && data.back() == '\0') data.remove_suffix(1);
      std::string out;
      size_t begin = 0;
      while (begin <= data.size()) {
        size_t end = data.find('\0', begin);
        if (end == std::string_view::npos) end = data.size();
        if (begin > 0) out += "\\0";
        out += EscapeText(data.substr(begin, end - begin));
        begin = end + 1;
      }
      return out;
    }
    case reg::kRegDword:
      if (data.size() == 4) {
        uint32_t number;
        std::memcpy(&number, data.data(), 4);
        return std::to_string(number);
      }
      break;
    case reg::kRegQword:
      if (data.size() == 8) {
        uint64_t number;
        std::memcpy(&number, data.data(), 8);
        return std::to_string(number);
      }
      break;
    default:
      break;
  }
  return Hex(data);
}

bool ParseValueType(std::string_view name, DWORD* type) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("REG_", 0) != 0) upper = "REG_" + upper;
  for (DWORD candidate : {reg::kRegNone, reg::kRegSz, reg::kRegExpandSz, reg::kRegBinary, reg::kRegDword,
                          reg::kRegMultiSz, reg::kRegQword}) {
    if (reg::ValueTypeName(candidate) == upper) {
      *type = candidate;
      return true;
    }
  }
  return false;
}

bool ParseValueData(DWORD type, std::string_view text, std::string* data, std::string* error) {
  data->clear();
  switch (type) {
    case reg::kRegSz:
    case reg::kRegExpandSz:
      data->assign(text);
      data->push_back('\0');
      return true;
    case reg::kRegMultiSz: {
      size_t begin = 0;
      while (true) {
        size_t end = text.find("\\0", begin);
        data->append(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        data->push_back('\0');
        if (end == std::string_view::npos) break;
        begin = end + 2;
      }
      data->push_back('\0');
      return true;
    }
    case reg::kRegDword: {
      uint32_t number = 0;
      if (!ParseNumber(text, &number)) {
        *error = "not a 32-bit number: " + std::string(text);
        return false;
      }
      data->assign(reinterpret_cast<const char*>(&number), 4);
      return true;
    }
    case reg::kRegQword: {
      uint64_t number = 0;
      if (!ParseNumber(text, &number)) {
        *error = "not a 64-bit number: " + std::string(text);
        return false;
      }
      data->assign(reinterpret_cast<const char*>(&number), 8);
      return true;
    }
    default: {
      std::string digits;
      for (char c : text) {
        if (c == ' ' || c == ',') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
          *error = "not hexadecimal bytes: " + std::string(text);
          return false;
        }
        digits += c;
      }
      if (digits.size() % 2 != 0) {
        *error = "odd number of hexadecimal digits: " + std::string(text);
        return false;
      }
      for (size_t i = 0; i < digits.size(); i += 2) {
        data->push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
      }
      return true;
    }
  }
}

}  // namespace hearthctl
