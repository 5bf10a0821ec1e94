#include "platform/registry/registry_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "base/errno_text.h"
#include "base/fd_io.h"
#include "platform/registry/registry_names.h"

namespace zarezodud {
namespace {

using fdio::ScopedFd;

bool lockWithRetry(int fd, int operation, const std::string& lockPath, std::string* error) {
  while (::flock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    *error = errnoMessage("cannot lock", lockPath, errno);
    return false;
  }
  return true;
}

// Reads the file if it exists; *mode receives its permission bits (0600 when it is missing).
bool readExisting(const std::string& path, std::string* text, mode_t* mode, std::string* error) {
  text->clear();
  if (mode != nullptr) *mode = S_IRUSR | S_IWUSR;
  ScopedFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    if (errno == ENOENT) return true;
    *error = errnoMessage("cannot open registry file", path, errno);
    return false;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0) {
    *error = errnoMessage("cannot inspect registry file", path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "registry file [" + path + "] is not a regular file";
    return false;
  }
  if (mode != nullptr) *mode = info.st_mode & 07777;
  return fdio::readAll(file.get(), path, text, error);
}

}  // namespace

RegistryFile::RegistryFile(std::string path) : path_(std::move(path)) {}

bool RegistryFile::load(RegistryContent* content, std::string* error) const {
  *content = RegistryContent();
  const std::string lockPath = path_ + registry_names::kLockSuffix;
  ScopedFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.valid() && errno == ENOENT) return true;  // no directory: an empty registry
  if (!lock.valid()) lock = ScopedFd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
  // Without a lock file that this reader may create, it reads unlocked: writers replace the
  // file by rename, so the read still sees one whole version.
  if (lock.valid() && !lockWithRetry(lock.get(), LOCK_SH, lockPath, error)) return false;

  std::string text;
  if (!readExisting(path_, &text, nullptr, error)) return false;
  *content = parseRegistryText(text);
  return true;
}

bool RegistryFile::update(const Change& change, std::string* error) const {
  const std::string directory = fdio::parentDirectory(path_);
  if (!fdio::makeDirectories(directory, 0755, error)) return false;

  const std::string lockPath = path_ + registry_names::kLockSuffix;
  ScopedFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.valid()) {
    *error = errnoMessage("cannot open lock file", lockPath, errno);
    return false;
  }
  if (!lockWithRetry(lock.get(), LOCK_EX, lockPath, error)) return false;

  std::string text;
  mode_t mode = 0;
  if (!readExisting(path_, &text, &mode, error)) return false;
  RegistryContent content = parseRegistryText(text);
  if (!change(&content, error)) return false;
  const std::string newText = formatRegistryText(content);

  // A new file beside the old one, synced, renamed into its place, the directory synced: a
  // reader sees the old or the new registry, never a part of one.
  const Status written = writeFileAtomically(path_, newText, mode);
  if (!written.ok()) *error = written.message();
  return written.ok();
}

}  // namespace zarezodud
