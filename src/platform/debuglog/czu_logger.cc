#include "platform/debuglog/czu_logger.h"
#include "base/errno_text.h"

#include <errno.h>
#include <fcntl.h>
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <limits>
#include <utility>

#include "base/fd_io.h"
#include "platform/fs/shared_directory.h"

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

// A size-rotated log file written with write(2), so that every failed write is seen (a full
// disk is remembered in writeError() rather than lost in a stdio buffer), and opened through
// openRefusingPlantedLinks, so that in a directory other users can write a link planted in the
// log's place is refused instead of followed. Rotation renames the files as spdlog's rotating
// sink does ("x.log" -> "x.1.log" -> ...), then starts the file afresh.
class GuardedRotatingFileSink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  GuardedRotatingFileSink(std::string path, std::size_t maxSize, std::size_t maxFiles)
      : path_(std::move(path)), maxSize_(maxSize), maxFiles_(maxFiles) {
    std::string error;
    if (!openFile(false, error)) throw spdlog::spdlog_ex(error);
  }
  ~GuardedRotatingFileSink() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::string writeError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeError_;
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    spdlog::memory_buf_t line;
    formatter_->format(msg, line);
    if (size_ > 0 && size_ + line.size() > maxSize_) rotate();
    if (fd_ < 0) {
      std::string error;
      if (!openFile(false, error)) {
        noteFailure(error);
        return;
      }
    }
    const char* data = line.data();
    std::size_t left = line.size();
    const std::size_t lineStart = size_;
    while (left > 0) {
      const ssize_t written = ::write(fd_, data, left);
      if (written < 0) {
        if (errno == EINTR) continue;
        noteFailure(errnoMessage("cannot write", path_, errno));
        // No half line for the next one to be glued to.
        if (size_ != lineStart && ::ftruncate(fd_, static_cast<off_t>(lineStart)) == 0) size_ = lineStart;
        return;
      }
      data += written;
      left -= static_cast<std::size_t>(written);
      size_ += static_cast<std::size_t>(written);
    }
  }
  void flush_() override {}

 private:
  bool openFile(bool truncate, std::string& error) {
    if (fd_ >= 0) ::close(fd_);
    const int flags = O_WRONLY | O_APPEND | O_CREAT | (truncate ? O_TRUNC : 0);
    fd_ = openRefusingPlantedLinks(path_, flags, 0644, error);
    // A missing directory is made, as it always was for a log.
    if (fd_ < 0 && errno == ENOENT && fdio::makeDirectories(fdio::parentDirectory(path_), 0755, &error)) {
      fd_ = openRefusingPlantedLinks(path_, flags, 0644, error);
    }
    if (fd_ < 0) return false;
    struct stat info;
    size_ = ::fstat(fd_, &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
    return true;
  }

  void rotate() {
    ::close(fd_);
    fd_ = -1;
    using Names = spdlog::sinks::rotating_file_sink_mt;
    for (std::size_t i = maxFiles_; i > 0; --i) {
      const std::string source = Names::calc_filename(path_, i - 1);
      const std::string target = Names::calc_filename(path_, i);
      if (::access(source.c_str(), F_OK) != 0) continue;
      if (::rename(source.c_str(), target.c_str()) != 0) {
        noteFailure(errnoMessage("cannot rotate", source, errno));
      }
    }
    std::string error;
    if (!openFile(true, error)) noteFailure(error);
  }

  void noteFailure(const std::string& error) {
    if (writeError_.empty()) writeError_ = error;
  }

  std::string path_;
  std::size_t maxSize_;
  std::size_t maxFiles_;
  int fd_ = -1;
  std::size_t size_ = 0;
  std::string writeError_;
};

}  // namespace

struct CZuLogger::Impl {
  std::string path;
  std::shared_ptr<GuardedRotatingFileSink> sink;
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
    impl->sink = std::make_shared<GuardedRotatingFileSink>(filePath, limitInBytes(sizeLimitMb), kept);
    // Not registered with spdlog's global registry: this object alone owns the logger, so
    // two objects writing different files never clash on a name.
    impl->logger = std::make_shared<spdlog::logger>(filePath, impl->sink);
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

std::string CZuLogger::writeError() const {
  std::shared_ptr<Impl> impl;
  {
    std::lock_guard<std::mutex> lock(mu_);
    impl = impl_;
  }
  return impl && impl->sink ? impl->sink->writeError() : std::string();
}

std::string CZuLogger::lastError() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lastError_;
}

}  // namespace zarezodud
