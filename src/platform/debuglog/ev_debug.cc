#include "platform/debuglog/ev_debug.h"

#include "platform/settings/host_settings.h"

#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace zarezodud {

namespace {

// printf-style formatting into a string of whatever length the result needs.
std::string formatMessage(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof small) return std::string(small, static_cast<size_t>(needed));
  std::vector<char> big(static_cast<size_t>(needed) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), static_cast<size_t>(needed));
}

}  // namespace

EvDebug::EvDebug() : level_(debugLevelFromEnvironment()) {}

EvDebug::~EvDebug() = default;

bool EvDebug::init(unsigned int /*options*/, int /*value*/, const std::string& filePath, bool /*flag*/,
                   const std::string& /*tag*/) {
  if (filePath.empty()) return false;
  std::lock_guard<std::mutex> lock(mu_);
  auto file = std::make_unique<CZuLogger>();
  if (file->open(filePath, sizeLimitMb_, versions_) != 0) {
    initError_ = file->lastError();
    return false;
  }
  initError_.clear();
  own_ = std::move(file);
  target_ = own_.get();
  level_.store(debugLevelFromEnvironment());
  return true;
}

bool EvDebug::init(EvDebugFileInstance* instance, unsigned int /*options*/, int /*value*/, bool /*flag*/,
                   const std::string& /*tag*/) {
  if (instance == nullptr || instance->logger == nullptr || !instance->logger->isOpen()) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mu_);
  target_ = instance->logger;
  own_.reset();
  level_.store(instance->debugLevel);
  return true;
}

void EvDebug::setFileSizeLimit(long long megabytes) {
  std::lock_guard<std::mutex> lock(mu_);
  sizeLimitMb_ = megabytes;
  if (own_) own_->open(own_->filePath(), sizeLimitMb_, versions_);
}

void EvDebug::setVersions(int count) {
  std::lock_guard<std::mutex> lock(mu_);
  versions_ = count;
  if (own_) own_->open(own_->filePath(), sizeLimitMb_, versions_);
}

bool EvDebug::isInitialized() const {
  std::lock_guard<std::mutex> lock(mu_);
  return target_ != nullptr;
}

std::string EvDebug::initError() const {
  std::lock_guard<std::mutex> lock(mu_);
  return initError_;
}

std::string EvDebug::writeError() const {
  std::lock_guard<std::mutex> lock(mu_);
  return target_ ? target_->writeError() : std::string();
}

std::string EvDebug::filePath() const {
  std::lock_guard<std::mutex> lock(mu_);
  return target_ ? target_->filePath() : std::string();
}

void EvDebug::dbgmsg(int level, const char* context, int fileId, int flags, const void* event,
                     const char* format, ...) {
  va_list args;
  va_start(args, format);
  vdbgmsg(level, context, fileId, flags, event, format, args);
  va_end(args);
}

void EvDebug::vdbgmsg(int level, const char* context, int /*fileId*/, int /*flags*/, const void* /*event*/,
                      const char* format, va_list args) {
  if (!passes(level)) return;
  write(level, context, formatMessage(format, args));
}

void EvDebug::msg(int level, const char* format, ...) {
  if (!passes(level)) return;
  va_list args;
  va_start(args, format);
  const std::string text = formatMessage(format, args);
  va_end(args);
  write(level, nullptr, text);
}

void EvDebug::write(int level, const char* context, std::string_view text) {
  if (!passes(level)) return;
  std::lock_guard<std::mutex> lock(mu_);
  if (target_ != nullptr) target_->write(level, context, text);
}

std::string EvDebug::getProcessName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  if (comm && std::getline(comm, name) && !name.empty()) return name;
  if (program_invocation_short_name != nullptr && *program_invocation_short_name != '\0') {
    return program_invocation_short_name;
  }
  return "unknown";
}

int EvDebug::debugLevelFromEnvironment() { return effectiveDebugLevel(); }

}  // namespace zarezodud
