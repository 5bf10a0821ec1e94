// A uniquely named temporary file that is written beside a target file and then put in the
// target's place with one atomic rename, so that readers see the old or the new content and
// never a partial file, and a failed write leaves the target and the directory as they were.
// Also the directory lock that makes read-modify-write cycles of concurrent writers in one
// directory take turns, and writeFileAtomically, the one routine by which the library replaces
// a whole file (registry files, certificates and keys, reports, the profile store's rewrite).
//
// Thread-safety: an object belongs to one thread. Objects for the same target in different
// threads or processes do not disturb each other: each has its own temporary name.
#ifndef ZAREZODUD_BASE_ATOMIC_FILE_H
#define ZAREZODUD_BASE_ATOMIC_FILE_H

#include <stdio.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "export.h"

namespace zarezodud {

// The directory part of path: everything before its last '/' ("/" for a file in the root,
// "." without any '/').
std::string directoryOf(const std::string& path);

// An exclusive advisory lock on a directory, held from construction to destruction. Every
// writer that takes it for the same directory waits for the others, in this process or any
// other. When the directory cannot be opened the lock is simply not held (held() is false).
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

class ReplacementFile {
 public:
  // Outcome of commit().
  enum class CommitResult { kDone, kWriteFailed, kRenameFailed };

  ReplacementFile() = default;
  // Closes and removes the temporary file unless it was committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates "<directory of target>/<prefix>" followed by six random characters, exclusively
  // (an existing name is never reused), open for writing. Its permission bits are mode when
  // given, else those of target when target exists, else 0666 less the process umask. Returns
  // false (nothing created, errno set) when the file cannot be created. Precondition: target
  // contains a '/'.
  bool create(const std::string& target, const char* prefix, std::optional<mode_t> mode = std::nullopt);

  // The open stream to write the new content to; owned by this object. Null before create().
  FILE* stream() const { return stream_; }
  const std::string& path() const { return tempPath_; }
  // Whether the target existed (or could not be examined) when create() succeeded.
  bool targetExisted() const { return targetExisted_; }

  // Flushes and syncs the content to disk, closes it, renames it over the target and syncs the
  // directory (best effort: a directory that cannot be synced does not fail the commit, the
  // rename having happened). On kWriteFailed and kRenameFailed the temporary file is removed and the target
  // is as it was.
  CommitResult commit();

  // Closes and removes the temporary file; the target is not touched.
  void discard();

 private:
  std::string target_;
  std::string tempPath_;
  FILE* stream_ = nullptr;
  bool targetExisted_ = false;
};

// Writes what produce hands to its writer into a new file beside path and puts it in path's
// place (ReplacementFile): readers see the old or the whole new content, never a part, and a
// failure leaves path as it was and no temporary file behind. Permission bits as for
// ReplacementFile::create. A failure's message names path and the reason.
using ContentProducer = std::function<bool(const std::function<bool(std::string_view)>& write)>;
ZAREZODUD_API Status writeFileAtomically(const std::string& path, const ContentProducer& produce,
                                         std::optional<mode_t> mode = std::nullopt);
ZAREZODUD_API Status writeFileAtomically(const std::string& path, std::string_view content,
                                         std::optional<mode_t> mode = std::nullopt);

}  // namespace zarezodud

#endif
