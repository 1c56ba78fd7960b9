// The per-thread error state of the Basic-style runtime, and the helper that
// lets a routine run its steps in order while recording what fails.
//
//   platform::Step([&] { OpenTheFile(); });      // a failure is recorded
//   platform::Step([&] { WriteTheLine(); });     // ...and the next step runs
//   Log("done, Err=" + platform::Err::Description());
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// Error numbers the runtime itself raises.
enum BasicErrorNumber : int32_t {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrBadFileNumber = 52,
  kErrFileNotFound = 53,
  kErrFileAlreadyOpen = 55,
  kErrDeviceIo = 57,
  kErrFileExists = 58,
  kErrDiskFull = 61,
  kErrInputPastEnd = 62,
  kErrTooManyFiles = 67,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectNotSet = 91,
  kErrInvalidUseOfNull = 94,
  kErrObjectRequired = 424,
  kErrCannotCreateObject = 429,
  kErrNoSuchMember = 438,
  kErrAutomation = 440,
  kErrArgumentNotOptional = 449,
  kErrWrongArgumentCount = 450,
  kErrRemoteServerUnavailable = 462,
};

// The text Basic gives an error number when the raiser names none.
std::string DefaultErrorDescription(int32_t number);

// The one exception type errors travel in.
class BasicError : public std::runtime_error {
 public:
  BasicError(int32_t number, std::string description, std::string source = {});
  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// Throws BasicError; an empty description takes the default text of the number.
[[noreturn]] void RaiseError(int32_t number, std::string_view description = {},
                             std::string_view source = {});

// The thread's pending error (Basic's Err object). Number 0 means none.
class Err {
 public:
  static int32_t Number();
  static const std::string& Description();
  static const std::string& Source();
  static bool IsSet() { return Number() != 0; }
  // Records an error without throwing.
  static void Set(int32_t number, std::string_view description = {}, std::string_view source = {});
  // Records the error the exception carries (any exception type).
  static void SetFrom(std::exception_ptr error);
  static void Clear();
};

// Runs one step of a routine. Anything it throws is recorded as the pending
// error and swallowed; returns true when the step completed.
template <class F>
bool Step(F&& step) noexcept {
  try {
    step();
    return true;
  } catch (...) {
    Err::SetFrom(std::current_exception());
    return false;
  }
}

// Runs a step whose failure is ignored and cleared ("errors ignored").
template <class F>
void Quietly(F&& step) noexcept {
  if (!Step(std::forward<F>(step))) Err::Clear();
}

}  // namespace platform
