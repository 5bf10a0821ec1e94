#include "support/log_capture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "log/zarezodud_logger.h"
#include "support/temp_dir.h"

namespace ztest {

std::string UpgradeLogCapture::logPath() {
  static const std::string path = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "zarezodud-log-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) return std::string("zarezodud-upgrade.log");
    return templ + "/upgrade.log";
  }();
  if (ZARezodudLogger::logFilePathForTesting().empty()) ZARezodudLogger::init(path);
  return ZARezodudLogger::logFilePathForTesting();
}

UpgradeLogCapture::UpgradeLogCapture() : m_start(readFile(logPath()).size()) {}

std::string UpgradeLogCapture::text() const {
  std::string all = readFile(logPath());
  return all.size() >= m_start ? all.substr(m_start) : all;
}

int UpgradeLogCapture::count(const std::string& needle) const {
  const std::string all = text();
  int n = 0;
  for (size_t pos = all.find(needle); pos != std::string::npos; pos = all.find(needle, pos + needle.size())) ++n;
  return n;
}

StdoutCapture::StdoutCapture() : m_active(true) {
  fflush(stdout);
  ::testing::internal::CaptureStdout();
}

StdoutCapture::~StdoutCapture() {
  if (m_active) ::testing::internal::GetCapturedStdout();
}

std::string StdoutCapture::text() {
  fflush(stdout);
  m_active = false;
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace ztest
