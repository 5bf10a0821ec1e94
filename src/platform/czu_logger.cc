#include "platform/czu_logger.h"

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <cstddef>
#include <filesystem>
#include <limits>
#include <utility>

namespace zarezodud {

namespace {

// Process id, thread id and the local time to the millisecond; the level, context and
// message make up the rest of the line (see CZuLogger::write).
constexpr const char* kLinePattern = "%P %t %m/%d %H:%M:%S.%e %v";

// Rotation threshold in bytes for a limit in megabytes; a limit of 0 or less never rotates.
std::size_t limitInBytes(long long megabytes) {
  constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max() / 2;
  if (megabytes <= 0) return kNever;
  const unsigned long long mb = static_cast<unsigned long long>(megabytes);
  if (mb > kNever / (1024ull * 1024ull)) return kNever;
  return static_cast<std::size_t>(mb * 1024ull * 1024ull);
}

}  // namespace

struct CZuLogger::Impl {
  std::string path;
  std::shared_ptr<spdlog::logger> logger;
};

CZuLogger::CZuLogger() = default;

CZuLogger::~CZuLogger() {
  std::shared_ptr<Impl> impl;
  {
    std::lock_guard<std::mutex> lock(mu_);
    impl = std::move(impl_);
  }
  if (impl && impl->logger) impl->logger->flush();
}

int CZuLogger::init(const std::string& name, const std::string& pathInDirectory, long long sizeLimitMb,
                    bool /*unusedFlag1*/, bool /*unusedFlag2*/) {
  if (name.empty()) {
    std::lock_guard<std::mutex> lock(mu_);
    lastError_ = "The log name is empty.";
    return -1;
  }
  const std::filesystem::path dir = std::filesystem::path(pathInDirectory).parent_path();
  const std::filesystem::path file = dir / (name + ".log");
  return open(file.string(), sizeLimitMb, 1);
}

int CZuLogger::open(const std::string& filePath, long long sizeLimitMb, int versions) {
  if (filePath.empty()) {
    std::lock_guard<std::mutex> lock(mu_);
    lastError_ = "The log file path is empty.";
    return -1;
  }
  auto impl = std::make_shared<Impl>();
  impl->path = filePath;
  try {
    const std::size_t kept = versions < 0 ? 0 : static_cast<std::size_t>(versions);
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(filePath, limitInBytes(sizeLimitMb),
                                                                       kept, false);
    // Not registered with spdlog's global registry: this object alone owns the logger, so
    // two objects writing different files never clash on a name.
    impl->logger = std::make_shared<spdlog::logger>(filePath, std::move(sink));
    impl->logger->set_formatter(std::make_unique<spdlog::pattern_formatter>(
        kLinePattern, spdlog::pattern_time_type::local, std::string("\n")));
    impl->logger->set_level(spdlog::level::trace);
    impl->logger->flush_on(spdlog::level::trace);
  } catch (const std::exception& e) {
    std::lock_guard<std::mutex> lock(mu_);
    lastError_ = std::string("Cannot open the log file [") + filePath + "]: " + e.what();
    return -1;
  }
  std::lock_guard<std::mutex> lock(mu_);
  impl_ = std::move(impl);
  lastError_.clear();
  return 0;
}

void CZuLogger::write(int level, const char* context, std::string_view message) {
  std::shared_ptr<Impl> impl;
  {
    std::lock_guard<std::mutex> lock(mu_);
    impl = impl_;
  }
  if (!impl || !impl->logger) return;
  std::string body = std::to_string(level);
  body += ' ';
  if (context != nullptr && *context != '\0') {
    body += context;
    body += ' ';
  }
  body.append(message.data(), message.size());
  // The one-argument string_view overload writes the text as it is; nothing in it is taken
  // for a format directive.
  impl->logger->log(spdlog::level::info, spdlog::string_view_t(body.data(), body.size()));
}

bool CZuLogger::isOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return impl_ != nullptr;
}

std::string CZuLogger::filePath() const {
  std::lock_guard<std::mutex> lock(mu_);
  return impl_ ? impl_->path : std::string();
}

std::string CZuLogger::lastError() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lastError_;
}

}  // namespace zarezodud
