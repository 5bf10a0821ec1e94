#include "platform/fs/regular_file.h"
#include "base/errno_text.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/fd_io.h"
#include "platform/crypto/sha256.h"

namespace zarezodud {

const char* describeFileType(mode_t mode) {
  if (S_ISREG(mode)) return "a regular file";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "a special file";
}

namespace {

std::string notRegular(const std::string& path, mode_t mode) {
  return "[" + path + "] is " + describeFileType(mode) + ", not a regular file.";
}

}  // namespace

bool checkRegularFile(const std::string& path, std::string& error) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    error = errnoMessage("cannot examine", path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = notRegular(path, info.st_mode);
    return false;
  }
  return true;
}

int openRegularFile(const std::string& path, std::string& error, int* systemError) {
  if (systemError != nullptr) *systemError = 0;
  fdio::ScopedFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info;
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    const int err = errno;
    if (systemError != nullptr) *systemError = err;
    error = errnoMessage(fd.valid() ? "cannot examine" : "cannot open", path, err);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    error = notRegular(path, info.st_mode);
    return -1;
  }
  // Back to blocking reads, as every reader of a file expects.
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd.release();
}

FileReadResult readRegularFile(const std::string& path, std::string& bytes, std::string* sha256Hex,
                               std::string& error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  fdio::ScopedFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) {
    error = errnoMessage("cannot open", path, errno);
    return FileReadResult::kCannotOpen;
  }
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) {
    error = errnoMessage("cannot examine", path, errno);
    return FileReadResult::kCannotOpen;
  }
  if (!S_ISREG(info.st_mode)) {
    error = notRegular(path, info.st_mode);
    return FileReadResult::kNotRegular;
  }
  std::string content;
  if (info.st_size > 0) content.reserve(static_cast<size_t>(info.st_size));
  Sha256 digest;
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errnoMessage("cannot read", path, errno);
      return FileReadResult::kReadFailed;
    }
    if (got == 0) break;
    content.append(chunk, static_cast<size_t>(got));
    if (sha256Hex != nullptr) digest.update(std::string_view(chunk, static_cast<size_t>(got)));
  }
  if (sha256Hex != nullptr) {
    std::string hex = digest.finishHex();
    if (hex.empty()) {
      error = "cannot compute the SHA-256 of [" + path + "]";
      return FileReadResult::kReadFailed;
    }
    *sha256Hex = std::move(hex);
  }
  bytes = std::move(content);
  return FileReadResult::kRead;
}

}  // namespace zarezodud
