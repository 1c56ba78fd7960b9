#include "support/diagnostics/diagnostics.h"

#include <memory>
#include <mutex>

namespace support {
namespace {

std::mutex sink_mutex;
std::shared_ptr<DiagnosticSink>& CurrentSink() {
  static auto* sink = new std::shared_ptr<DiagnosticSink>();  // never destroyed: used at any time
  return *sink;
}

}  // namespace

void SetDiagnosticSink(DiagnosticSink sink) {
  auto next = sink ? std::make_shared<DiagnosticSink>(std::move(sink)) : nullptr;
  std::lock_guard lock(sink_mutex);
  CurrentSink() = std::move(next);
}

void ReportDiagnostic(const std::string& line) {
  std::shared_ptr<DiagnosticSink> sink;
  {
    std::lock_guard lock(sink_mutex);
    sink = CurrentSink();
  }
  if (sink == nullptr) return;
  try {
    (*sink)(line);
  } catch (...) {
  }
}

}  // namespace support
