// UpgradeLogCapture: what the upgrade log received while a test ran. The first capture of a
// process initialises the upgrade log into a per-process temporary directory; each capture
// remembers where the log ended when it was made. Not thread-safe.
#ifndef ZAREZODUD_TESTS_SUPPORT_LOG_CAPTURE_H
#define ZAREZODUD_TESTS_SUPPORT_LOG_CAPTURE_H

#include <string>

namespace ztest {

class UpgradeLogCapture {
 public:
  UpgradeLogCapture();
  // Everything written to the upgrade log since construction.
  std::string text() const;
  // Number of times needle occurs in text().
  int count(const std::string& needle) const;
  bool contains(const std::string& needle) const { return count(needle) > 0; }
  // Path of the process's upgrade log.
  static std::string logPath();

 private:
  size_t m_start;
};

// Captures what a piece of code prints to standard output.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string text();

 private:
  bool m_active;
};

}  // namespace ztest

#endif
