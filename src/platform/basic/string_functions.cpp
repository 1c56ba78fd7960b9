#include "platform/basic/string_functions.h"

#include <cstdio>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"

namespace platform {

std::string LCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string UCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string LTrim(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string RTrim(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string_view TrimmedView(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(' ');
  return text.substr(start, end - start + 1);
}

std::string Trim(std::string_view text) { return std::string(TrimmedView(text)); }

std::string Left(std::string_view text, int64_t length) {
  if (length < 0) RaiseError(kErrInvalidCall, "", "Left");
  return std::string(text.substr(0, static_cast<size_t>(length)));
}

std::string Right(std::string_view text, int64_t length) {
  if (length < 0) RaiseError(kErrInvalidCall, "", "Right");
  size_t keep = std::min(text.size(), static_cast<size_t>(length));
  return std::string(text.substr(text.size() - keep));
}

std::string Mid(std::string_view text, int64_t start) {
  if (start < 1) RaiseError(kErrInvalidCall, "", "Mid");
  if (static_cast<uint64_t>(start) > text.size()) return std::string();
  return std::string(text.substr(static_cast<size_t>(start - 1)));
}

std::string Mid(std::string_view text, int64_t start, int64_t length) {
  if (length < 0) RaiseError(kErrInvalidCall, "", "Mid");
  std::string rest = Mid(text, start);
  if (static_cast<uint64_t>(length) < rest.size()) rest.resize(static_cast<size_t>(length));
  return rest;
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
  return buffer;
}

std::string Hex(int32_t value) { return Hex(static_cast<uint32_t>(value)); }

std::string Hex(const Variant& value) {
  if (value.IsNull()) RaiseError(kErrInvalidUseOfNull, "", "Hex");
  if (value.vt() == VarType::kInteger) return Hex(static_cast<uint32_t>(static_cast<uint16_t>(value.IntegerValue())));
  if (value.vt() == VarType::kByte) return Hex(static_cast<uint32_t>(value.ByteValue()));
  return Hex(CLng(value));
}

}  // namespace platform
