// The control socket of hearthd, <root>/run/hearthd.sock: a Unix stream
// socket that takes one request line per connection and answers one line.
//
//   request                    reply
//   "stop\n"                   "OK <result>\n"                  (OnStop's result)
//   "shutdown\n"               "OK <result> busy=<True|False>\n" (OnShutdown's)
//   "control <code>\n"         "OK\n"                           (OnUserControlCode)
//   anything else              "ERROR <reason>\n", and nothing happens
//
// A request the service can no longer take (it has ended) is answered
// "ERROR the service has stopped". Header-only, so that hearthctl needs no
// library of the host.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/root/machine_root.h"

namespace service::control {

inline constexpr char kSocketName[] = "hearthd.sock";
inline constexpr char kLockName[] = "hearthd.lock";
// The longest request line taken, line end included.
inline constexpr size_t kMaxRequestLength = 256;

// <root>/run, where the socket and the instance lock live.
inline std::filesystem::path RunFolder() { return platform::MachineRoot() / "run"; }
inline std::filesystem::path SocketPath() { return RunFolder() / kSocketName; }
inline std::filesystem::path LockPath() { return RunFolder() / kLockName; }

enum class RequestKind { kStop, kShutdown, kUserControlCode };

struct Request {
  RequestKind kind = RequestKind::kStop;
  int16_t code = 0;  // kUserControlCode only
};

struct Answer {
  int32_t result = 0;
  bool busy = false;
};

// The request line (without its line end) as a request; nullopt with
// *error set for anything that is not one.
inline std::optional<Request> ParseRequest(std::string_view line, std::string* error) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line == "stop") return Request{RequestKind::kStop, 0};
  if (line == "shutdown") return Request{RequestKind::kShutdown, 0};
  constexpr std::string_view kControl = "control ";
  if (line.substr(0, kControl.size()) == kControl) {
    const std::string number(line.substr(kControl.size()));
    const size_t digits = !number.empty() && number[0] == '-' ? 1 : 0;
    char* end = nullptr;
    errno = 0;
    const bool decimal = number.size() > digits && number[digits] >= '0' && number[digits] <= '9';
    const long code = decimal ? std::strtol(number.c_str(), &end, 10) : 0;
    if (!decimal || end == nullptr || *end != '\0' || errno != 0 || code < INT16_MIN || code > INT16_MAX) {
      *error = "the control code must be a whole number from -32768 to 32767";
      return std::nullopt;
    }
    return Request{RequestKind::kUserControlCode, static_cast<int16_t>(code)};
  }
  *error = "unknown request (known: stop, shutdown, control N)";
  return std::nullopt;
}

inline std::string FormatRequest(const Request& request) {
  switch (request.kind) {
    case RequestKind::kStop: return "stop\n";
    case RequestKind::kShutdown: return "shutdown\n";
    case RequestKind::kUserControlCode: return "control " + std::to_string(request.code) + "\n";
  }
  return {};
}

inline std::string FormatAnswer(const Request& request, const Answer& answer) {
  switch (request.kind) {
    case RequestKind::kStop: return "OK " + std::to_string(answer.result) + "\n";
    case RequestKind::kShutdown:
      return "OK " + std::to_string(answer.result) + " busy=" + (answer.busy ? "True" : "False") + "\n";
    case RequestKind::kUserControlCode: return "OK\n";
  }
  return {};
}

inline std::string FormatError(std::string_view reason) { return "ERROR " + std::string(reason) + "\n"; }

}  // namespace service::control
