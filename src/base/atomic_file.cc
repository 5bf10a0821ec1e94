#include "base/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "base/errno_text.h"
#include "base/random_text.h"

namespace zarezodud {

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

// Syncs a directory so that a rename in it survives a crash. Best effort: the rename has
// already happened, so a directory that cannot be opened or synced changes nothing visible.
void syncDirectory(const std::string& directory) {
  int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);
  close(fd);
}

}  // namespace

DirectoryLock::DirectoryLock(const std::string& directory) {
  fd_ = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  held_ = rc == 0;
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) close(fd_);  // closing the descriptor releases the lock
}

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::create(const std::string& target, const char* prefix, std::optional<mode_t> mode) {
  discard();
  target_ = target;
  const std::string base = target.substr(0, target.rfind('/') + 1) + prefix;
  struct stat targetInfo;
  const bool haveTargetInfo = stat(target.c_str(), &targetInfo) == 0;
  // A target that cannot be examined counts as existing: the caller's attempt to read it
  // then reports the failure instead of silently starting a new file.
  const bool targetExists = haveTargetInfo || errno != ENOENT;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + randomAlphanumeric(6);
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    tempPath_ = candidate;
    targetExisted_ = targetExists;
    const bool setMode = mode.has_value() || haveTargetInfo;
    if (setMode && fchmod(fd, mode ? *mode : (targetInfo.st_mode & 07777)) != 0) {
      const int saved = errno;
      close(fd);
      unlink(tempPath_.c_str());
      tempPath_.clear();
      errno = saved;
      return false;
    }
    stream_ = fdopen(fd, "w");
    if (stream_ == nullptr) {
      close(fd);
      unlink(tempPath_.c_str());
      tempPath_.clear();
      return false;
    }
    return true;
  }
  return false;
}

ReplacementFile::CommitResult ReplacementFile::commit() {
  if (stream_ == nullptr) return CommitResult::kWriteFailed;
  bool written = fflush(stream_) == 0 && fsync(fileno(stream_)) == 0;
  written = (fclose(stream_) == 0) && written;
  stream_ = nullptr;
  if (!written) {
    discard();
    return CommitResult::kWriteFailed;
  }
  if (rename(tempPath_.c_str(), target_.c_str()) != 0) {
    discard();
    return CommitResult::kRenameFailed;
  }
  tempPath_.clear();
  syncDirectory(directoryOf(target_));
  return CommitResult::kDone;
}

void ReplacementFile::discard() {
  if (stream_ != nullptr) {
    fclose(stream_);
    stream_ = nullptr;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

Status writeFileAtomically(const std::string& path, const ContentProducer& produce,
                           std::optional<mode_t> mode) {
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  ReplacementFile file;
  if (!file.create(target, ".zarezodud-", mode)) {
    return Status::Error(errnoMessage("cannot create a temporary file beside", path, errno));
  }
  FILE* stream = file.stream();
  const auto write = [stream](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), stream) == piece.size();
  };
  if (!produce(write)) {
    const int saved = errno;
    file.discard();
    return Status::Error(errnoMessage("cannot write", path, saved));
  }
  switch (file.commit()) {
    case ReplacementFile::CommitResult::kDone:
      return Status::Ok();
    case ReplacementFile::CommitResult::kWriteFailed:
      return Status::Error(errnoMessage("cannot write", path, errno));
    case ReplacementFile::CommitResult::kRenameFailed:
      break;
  }
  return Status::Error(errnoMessage("cannot replace", path, errno));
}

Status writeFileAtomically(const std::string& path, std::string_view content, std::optional<mode_t> mode) {
  return writeFileAtomically(
      path, [content](const std::function<bool(std::string_view)>& write) { return write(content); }, mode);
}

}  // namespace zarezodud
