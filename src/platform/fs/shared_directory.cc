#include "platform/fs/shared_directory.h"
#include "base/errno_text.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/fd_io.h"

namespace zarezodud {

bool inSharedDirectory(const std::string& path) {
  struct stat info;
  if (::stat(fdio::parentDirectory(path).c_str(), &info) != 0) return true;
  return info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

int openRefusingPlantedLinks(const std::string& path, int flags, mode_t mode, std::string& error) {
  const bool shared = inSharedDirectory(path);
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | (shared ? O_NOFOLLOW : 0), mode);
  if (fd >= 0) return fd;
  const int err = errno;
  struct stat info;
  // ELOOP from O_NOFOLLOW, or EACCES where the kernel itself protects links in sticky
  // directories: either way a link stands there.
  if (shared && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    error =
        "[" + path + "] is a symbolic link in a directory that other users can write; refusing to follow it.";
  } else {
    error = errnoMessage("cannot open", path, err);
  }
  errno = err;
  return -1;
}

}  // namespace zarezodud
