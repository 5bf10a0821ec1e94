// HostLock: an exclusive, non-blocking advisory lock (flock) on a lock file, held from a
// successful acquire() to destruction. The command-line front end takes one per database so
// that two runs on one host cannot process the same database at once; the kernel drops the
// lock when the process ends, however it ends.
//
// Thread-safety: an object belongs to one thread. Two objects (in any processes) on the same
// file exclude each other.
#ifndef ZAREZODUD_PLATFORM_FS_HOST_LOCK_H
#define ZAREZODUD_PLATFORM_FS_HOST_LOCK_H

#include <string>

#include "base/fd_io.h"
#include "export.h"

namespace zarezodud {

class ZAREZODUD_API HostLock {
 public:
  enum class Result { kAcquired, kHeldElsewhere, kFailed };

  HostLock() = default;
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;

  // Creates path when missing (mode 0644) and tries to lock it without waiting. On
  // kHeldElsewhere and kFailed, error names the file and the reason.
  Result acquire(const std::string& path, std::string& error);
  bool held() const { return m_fd.valid(); }

 private:
  fdio::ScopedFd m_fd;
};

}  // namespace zarezodud

#endif
