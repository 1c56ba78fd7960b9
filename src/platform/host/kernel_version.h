// The running system's own version: the kernel release's first two numbers.
#pragma once

namespace platform::host {

struct KernelVersion {
  int major = 0;
  int minor = 0;
};

// From uname's release ("6.1.0-18-amd64" gives 6 and 1); 0 and 0 when it
// cannot be read.
KernelVersion RunningKernelVersion();

// The numbers at the start of a release text; 0 for what is not there.
KernelVersion ParseKernelRelease(const char* release);

}  // namespace platform::host
