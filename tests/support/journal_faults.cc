#include "support/journal_faults.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

namespace ztest {

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  ::getrlimit(RLIMIT_FSIZE, &m_saved);
  m_savedHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = m_saved;
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &m_saved);
  ::signal(SIGXFSZ, m_savedHandler);
}

int makeFileFull(const std::string& path) {
  char resolved[4096];
  if (::realpath(path.c_str(), resolved) == nullptr) return 0;
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) return 0;
  int count = 0;
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds != nullptr) {
    while (const struct dirent* entry = ::readdir(fds)) {
      const int fd = std::atoi(entry->d_name);
      if (entry->d_name[0] == '.' || fd == full) continue;
      char target[4096];
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      if (std::string(target) == resolved && ::dup3(full, fd, O_CLOEXEC) == fd) ++count;
    }
    ::closedir(fds);
  }
  ::close(full);
  return count;
}

}  // namespace ztest
