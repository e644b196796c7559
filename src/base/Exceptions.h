// The exception classes shared by every subsystem.
//
// Every error of the engine is an exception carrying a message text, derived
// from qil::Exception. The messages are shown to users as they stand (error
// boxes, the module manager's error page), so callers pass them exactly as
// the product's texts read. Subsystems derive their own classes from these
// (ArchiveError in archive/, DatabaseError in mathdb/).
#pragma once

#include <exception>
#include <string>

namespace qil {

// The general exception class: a message and nothing else.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A text that is not a valid decimal number ("'abc' is not a valid integer value").
class ConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside a list ("List index out of bounds (5)").
class ListError : public Exception {
 public:
  using Exception::Exception;
};

// A failed read or write of a stream or file.
class StreamError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be opened ("Cannot open file NAME").
class FileOpenError : public StreamError {
 public:
  using StreamError::StreamError;
};

}  // namespace qil
