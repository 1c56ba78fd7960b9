#include "platform/host/kernel_version.h"

#include <sys/utsname.h>

#include <cctype>

namespace platform::host {
namespace {

// The decimal number at *text, moving past it; 0 when there is none or it
// would not fit.
int Number(const char*& text) {
  long value = 0;
  bool any = false;
  while (std::isdigit(static_cast<unsigned char>(*text))) {
    any = true;
    value = value * 10 + (*text - '0');
    if (value > 1000000) value = 1000000;
    ++text;
  }
  return any ? static_cast<int>(value) : 0;
}

}  // namespace

KernelVersion ParseKernelRelease(const char* release) {
  KernelVersion version;
  if (release == nullptr) return version;
  version.major = Number(release);
  if (*release == '.') {
    ++release;
    version.minor = Number(release);
  }
  return version;
}

KernelVersion RunningKernelVersion() {
  utsname name{};
  if (::uname(&name) != 0) return {};
  return ParseKernelRelease(name.release);
}

}  // namespace platform::host
