// Standard numbers and messages of the run-time errors.
#include "common/run_error.h"

namespace loopster {

int errorNumber(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Overflow:
            return 6;
        case ErrorKind::SubscriptOutOfRange:
            return 9;
        case ErrorKind::DivisionByZero:
            return 11;
        case ErrorKind::TypeMismatch:
            return 13;
    }
    return 0;
}

const char* errorText(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Overflow:
            return "Overflow";
        case ErrorKind::SubscriptOutOfRange:
            return "Subscript out of range";
        case ErrorKind::DivisionByZero:
            return "Division by zero";
        case ErrorKind::TypeMismatch:
            return "Type mismatch";
    }
    return "Unknown error";
}

std::string standardMessage(ErrorKind kind) {
    return "Run-time error '" + std::to_string(errorNumber(kind)) + "':\n\n" + errorText(kind);
}

RunError::RunError(ErrorKind kind) : std::runtime_error(standardMessage(kind)), m_kind(kind) {}

}  // namespace loopster
