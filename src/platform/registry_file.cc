#include "platform/registry_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "base/fd_io.h"
#include "platform/registry_names.h"

namespace zarezodud {
namespace {

using fdio::ScopedFd;

bool lockWithRetry(int fd, int operation, const std::string& lockPath, std::string* error) {
  while (::flock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    *error = fdio::errnoMessage("cannot lock", lockPath, errno);
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
    *error = fdio::errnoMessage("cannot open registry file", path, errno);
    return false;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0) {
    *error = fdio::errnoMessage("cannot inspect registry file", path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "registry file [" + path + "] is not a regular file";
    return false;
  }
  if (mode != nullptr) *mode = info.st_mode & 07777;
  return fdio::readAll(file.get(), path, text, error);
}

// Removes the temporary file unless it has been renamed into place.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void release() { path_.clear(); }

 private:
  std::string path_;
};

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
    *error = fdio::errnoMessage("cannot open lock file", lockPath, errno);
    return false;
  }
  if (!lockWithRetry(lock.get(), LOCK_EX, lockPath, error)) return false;

  std::string text;
  mode_t mode = 0;
  if (!readExisting(path_, &text, &mode, error)) return false;
  RegistryContent content = parseRegistryText(text);
  if (!change(&content, error)) return false;
  const std::string newText = formatRegistryText(content);

  std::string tempPattern = directory + "/." + baseName(path_) + ".tmp.XXXXXX";
  std::vector<char> tempName(tempPattern.begin(), tempPattern.end());
  tempName.push_back('\0');
  ScopedFd temp(::mkostemp(tempName.data(), O_CLOEXEC));
  if (!temp.valid()) {
    *error = fdio::errnoMessage("cannot create temporary file", tempPattern, errno);
    return false;
  }
  const std::string tempPath(tempName.data());
  TempFileGuard guard(tempPath);

  if (!fdio::writeAll(temp.get(), tempPath, newText.data(), newText.size(), error)) return false;
  if (::fchmod(temp.get(), mode) != 0) {
    *error = fdio::errnoMessage("cannot set permissions of", tempPath, errno);
    return false;
  }
  if (::fsync(temp.get()) != 0) {
    *error = fdio::errnoMessage("cannot sync", tempPath, errno);
    return false;
  }
  if (!temp.close()) {
    *error = fdio::errnoMessage("cannot close", tempPath, errno);
    return false;
  }
  if (::rename(tempPath.c_str(), path_.c_str()) != 0) {
    *error = fdio::errnoMessage("cannot replace registry file", path_, errno);
    return false;
  }
  guard.release();
  // The new file is in place; a failed directory sync is still reported, since the change
  // might not survive a crash.
  return fdio::syncDirectory(directory, error);
}

}  // namespace zarezodud
