// Outside bytes as a request line on hearthd's control socket.
//
// A line is either a request or refused with a reason; a request written
// back by hearthctl's formatter reads again as the same request, and the
// answer to it is one line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/host/control_protocol.h"

namespace {

namespace control = service::control;

bool OneLine(const std::string& text) { return !text.empty() && text.find('\n') == text.size() - 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto request = control::ParseRequest(line, &error);
  if (!request) {
    if (error.empty() || !OneLine(control::FormatError(error))) __builtin_trap();
    return 0;
  }
  const std::string written = control::FormatRequest(*request);
  if (!OneLine(written) || written.size() > control::kMaxRequestLength) __builtin_trap();
  std::string again_error;
  const auto again = control::ParseRequest(std::string_view(written).substr(0, written.size() - 1), &again_error);
  if (!again || again->kind != request->kind || again->code != request->code) __builtin_trap();
  if (!OneLine(control::FormatAnswer(*request, control::Answer{-1, true}))) __builtin_trap();
  return 0;
}
