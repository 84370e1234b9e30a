#pragma once
#include <stdexcept>
#include <string>

namespace tabulonix {

// Base of every error the program reports to its user: the message is the text shown.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A file that cannot be opened, read or written. `ErrorNumber` is the system's error code
// of the call that failed (0 when none), so that a report can say why.
class EStreamError : public Exception {
  public:
    explicit EStreamError(const std::string& message, int errorNumber = 0)
        : Exception(message), errorNumber_(errorNumber)
    {
    }
    int ErrorNumber() const { return errorNumber_; }

  private:
    int errorNumber_;
};

class EFOpenError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

class EInvalidOperation : public Exception {
  public:
    using Exception::Exception;
};

// printf-style formatting of a message template ("%s", "%d" and "%%" only, as the
// message table uses them). Arguments are taken in order; missing ones format as empty.
std::string Format(const std::string& pattern, std::initializer_list<std::string> args);
std::string Format(const std::string& pattern, long long number);

} // namespace tabulonix
