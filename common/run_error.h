// The one error type for the fatal run-time errors of the system. Each is thrown at the exact point
// where the system fails and caught only by the error guard (common/error_guard.h), which shows the
// standard message and exits non-zero.
#pragma once

#include <stdexcept>
#include <string>

namespace loopster {

// Only the errors the program can meet. Files never raise one: a settings file that cannot be read
// keeps the defaults, and a failed save or marker is reported or skipped.
enum class ErrorKind {
    Overflow,
    SubscriptOutOfRange,
    DivisionByZero,
    TypeMismatch,
};

// The run-time library's standard number and text for each kind, e.g. 6 and "Overflow".
int errorNumber(ErrorKind kind);
const char* errorText(ErrorKind kind);

class RunError : public std::runtime_error {
  public:
    explicit RunError(ErrorKind kind);
    ErrorKind kind() const { return m_kind; }

  private:
    ErrorKind m_kind;
};

// "Run-time error '6':\n\nOverflow": what the process entry shows before it exits.
std::string standardMessage(ErrorKind kind);

}  // namespace loopster
