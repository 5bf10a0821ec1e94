// CZuFile: the file service: a file's times, deleting a file, and whether a path exists.
// Stateless static functions over POSIX; thread-safe.
#ifndef ZAREZODUD_PLATFORM_FS_ZU_FILE_H
#define ZAREZODUD_PLATFORM_FS_ZU_FILE_H

#include <cstdint>
#include <string>

#include "platform/fs/zu_error.h"

namespace zarezodud {

class CZuFile {
 public:
  // The times of the file at path (symbolic links are followed), in seconds since
  // 1970-01-01 00:00:00 UTC, stored into each destination that is not null: last access,
  // last modification (the time the file was written) and creation (the birth time when the
  // file system records one, else the last status change). On failure the destinations are
  // left untouched.
  static CZuError GetTimes(const std::string& path, int64_t* access, int64_t* modification,
                           int64_t* creation);

  // As GetTimes, but a symbolic link at path reports its own times: the link is never
  // followed (a dangling link has times too).
  static CZuError GetLinkTimes(const std::string& path, int64_t* access, int64_t* modification,
                               int64_t* creation);

  // Removes the directory entry at path. A symbolic link is removed itself, never its target;
  // a directory is not removed (failure).
  static CZuError Delete(const std::string& path);

  // True when path names an existing entry, following symbolic links (a dangling link does
  // not exist).
  static bool Exists(const std::string& path);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_FS_ZU_FILE_H
