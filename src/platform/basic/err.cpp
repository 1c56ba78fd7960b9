#include "platform/basic/err.h"

#include <system_error>

namespace platform {
namespace {

struct ErrorState {
  int32_t number = 0;
  std::string description;
  std::string source;
};

ErrorState& State() {
  thread_local ErrorState state;
  return state;
}

}  // namespace

std::string DefaultErrorDescription(int32_t number) {
  switch (number) {
    case 0: return "";
    case kErrInvalidCall: return "Invalid procedure call or argument";
    case kErrOverflow: return "Overflow";
    case kErrOutOfMemory: return "Out of memory";
    case kErrSubscript: return "Subscript out of range";
    case kErrDivisionByZero: return "Division by zero";
    case kErrTypeMismatch: return "Type mismatch";
    case kErrBadFileNumber: return "Bad file name or number";
    case kErrFileNotFound: return "File not found";
    case kErrFileAlreadyOpen: return "File already open";
    case kErrDeviceIo: return "Device I/O error";
    case kErrFileExists: return "File already exists";
    case kErrDiskFull: return "Disk full";
    case kErrInputPastEnd: return "Input past end of file";
    case kErrTooManyFiles: return "Too many files";
    case kErrPermissionDenied: return "Permission denied";
    case kErrPathFileAccess: return "Path/File access error";
    case kErrPathNotFound: return "Path not found";
    case kErrObjectNotSet: return "Object variable or With block variable not set";
    case kErrInvalidUseOfNull: return "Invalid use of Null";
    case kErrObjectRequired: return "Object required";
    case kErrCannotCreateObject: return "ActiveX component can't create object";
    case kErrNoSuchMember: return "Object doesn't support this property or method";
    case kErrAutomation: return "Automation error";
    case kErrArgumentNotOptional: return "Argument not optional";
    case kErrWrongArgumentCount: return "Wrong number of arguments or invalid property assignment";
    case kErrRemoteServerUnavailable: return "The remote server machine does not exist or is unavailable";
    default: return "Application-defined or object-defined error";
  }
}

BasicError::BasicError(int32_t number, std::string description, std::string source)
    : std::runtime_error(description.empty() ? DefaultErrorDescription(number) : description),
      number_(number),
      description_(description.empty() ? DefaultErrorDescription(number) : std::move(description)),
      source_(std::move(source)) {}

void RaiseError(int32_t number, std::string_view description, std::string_view source) {
  throw BasicError(number, std::string(description), std::string(source));
}

int32_t Err::Number() { return State().number; }
const std::string& Err::Description() { return State().description; }
const std::string& Err::Source() { return State().source; }

void Err::Set(int32_t number, std::string_view description, std::string_view source) {
  ErrorState& s = State();
  s.number = number;
  s.description = description.empty() ? DefaultErrorDescription(number) : std::string(description);
  s.source = std::string(source);
}

void Err::SetFrom(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const BasicError& e) {
    Set(e.number(), e.description(), e.source());
  } catch (const std::bad_alloc&) {
    Set(kErrOutOfMemory);
  } catch (const std::system_error& e) {
    Set(kErrDeviceIo, e.what());
  } catch (const std::exception& e) {
    Set(kErrAutomation, e.what());
  } catch (...) {
    Set(kErrAutomation);
  }
}

void Err::Clear() {
  ErrorState& s = State();
  s.number = 0;
  s.description.clear();
  s.source.clear();
}

}  // namespace platform
