#include "platform/registry/diagnostics.h"

#include <cstdio>
#include <functional>
#include <mutex>

#include "platform/registry/registry.h"

namespace platform::registry {
namespace {

std::mutex sink_mutex;
std::function<void(const std::string&)>& Sink() {
  static auto* sink = new std::function<void(const std::string&)>();
  return *sink;
}

}  // namespace

void SetDiagnosticSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(sink_mutex);
  Sink() = std::move(sink);
}

void DeliverDiagnostic(const std::string& message) {
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lock(sink_mutex);
    sink = Sink();
  }
  if (sink) {
    try {
      sink(message);
    } catch (...) {
      // A failing sink must not turn a registry call into an error.
    }
    return;
  }
  std::fprintf(stderr, "registry: %s\n", message.c_str());
}

}  // namespace platform::registry
