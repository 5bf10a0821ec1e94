// CZuError: the result of a file-system utility call: success, or failure with a message
// that names what failed and why. A plain value; thread-safe to copy and read.
#ifndef ZAREZODUD_PLATFORM_FS_ZU_ERROR_H
#define ZAREZODUD_PLATFORM_FS_ZU_ERROR_H

#include <string>
#include <utility>

namespace zarezodud {

class CZuError {
 public:
  // Success.
  CZuError() = default;

  static CZuError Success() { return CZuError(); }
  static CZuError Failure(std::string message) { return CZuError(std::move(message)); }
  // Failure whose message is "<what>: <strerror(errnum)>".
  static CZuError FromErrno(const std::string& what, int errnum);

  bool IsSuccess() const { return !m_failed; }
  bool IsError() const { return m_failed; }
  // The failure's message; "" on success.
  const std::string& GetMessage() const { return m_message; }

 private:
  explicit CZuError(std::string message) : m_failed(true), m_message(std::move(message)) {}

  bool m_failed = false;
  std::string m_message;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_FS_ZU_ERROR_H
