// Status: the result of an internal operation that can fail, in one form: success, or failure
// with the text that says why (for an operator: names the file or value and the reason, never a
// password). Internal code returns a Status where it used to return a bool beside an error
// string; the exported interfaces keep the 1/0 results and last-error texts they promise.
// A plain value; thread-safe as values are.
#ifndef ZAREZODUD_BASE_STATUS_H
#define ZAREZODUD_BASE_STATUS_H

#include <string>
#include <utility>

namespace zarezodud {

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  static Status Ok() { return Status(); }
  // Failure with its reason; an empty reason still means failure.
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // The reason of a failure; "" on success.
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
  bool failed_ = false;
  std::string message_;
};

}  // namespace zarezodud

#endif
