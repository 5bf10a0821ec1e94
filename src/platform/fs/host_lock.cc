#include "platform/fs/host_lock.h"
#include "base/errno_text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace zarezodud {

HostLock::Result HostLock::acquire(const std::string& path, std::string& error) {
  fdio::ScopedFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!fd.valid()) {
    error = errnoMessage("cannot open lock file", path, errno);
    return Result::kFailed;
  }
  int rc;
  do {
    rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) {
      error = "lock file [" + path + "] is held by another run";
      return Result::kHeldElsewhere;
    }
    error = errnoMessage("cannot lock", path, err);
    return Result::kFailed;
  }
  m_fd = std::move(fd);
  return Result::kAcquired;
}

}  // namespace zarezodud
