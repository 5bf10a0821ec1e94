#include "base/fd_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "base/errno_text.h"

namespace zarezodud {
namespace fdio {

ScopedFd::ScopedFd(int fd) : fd_(fd) {}

ScopedFd::~ScopedFd() {
  if (fd_ >= 0) ::close(fd_);
}

ScopedFd::ScopedFd(ScopedFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

ScopedFd& ScopedFd::operator=(ScopedFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool ScopedFd::close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  // A close interrupted by a signal has still released the descriptor on Linux; retrying
  // could close a descriptor that another thread has just been given.
  return ::close(fd) == 0 || errno == EINTR;
}

int ScopedFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool readAll(int fd, const std::string& path, std::string* out, std::string* error) {
  out->clear();
  char chunk[8192];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = errnoMessage("cannot read", path, errno);
      return false;
    }
    if (got == 0) return true;
    out->append(chunk, static_cast<size_t>(got));
  }
}

bool writeAll(int fd, const std::string& path, const void* data, size_t size, std::string* error) {
  const char* cursor = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t put = ::write(fd, cursor, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      *error = errnoMessage("cannot write", path, errno);
      return false;
    }
    cursor += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool makeDirectories(const std::string& path, unsigned mode, std::string* error) {
  if (path.empty()) {
    *error = "cannot create a directory with an empty name";
    return false;
  }
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    *error = "not a directory [" + path + "]";
    return false;
  }
  std::string parent = parentDirectory(path);
  if (parent != path && parent != "." && parent != "/" && !makeDirectories(parent, mode, error)) {
    return false;
  }
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
    *error = errnoMessage("cannot create directory", path, errno);
    return false;
  }
  return true;
}

bool syncDirectory(const std::string& path, std::string* error) {
  ScopedFd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid()) {
    *error = errnoMessage("cannot open directory", path, errno);
    return false;
  }
  if (::fsync(dir.get()) != 0) {
    *error = errnoMessage("cannot sync directory", path, errno);
    return false;
  }
  return true;
}

std::string parentDirectory(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "." : "/";
  size_t slash = path.rfind('/', end);
  if (slash == std::string::npos) return ".";
  size_t parentEnd = path.find_last_not_of('/', slash);
  if (parentEnd == std::string::npos) return "/";
  return path.substr(0, parentEnd + 1);
}

}  // namespace fdio
}  // namespace zarezodud
