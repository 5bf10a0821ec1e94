#include "platform/fs/zu_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zarezodud {

namespace {

CZuError readTimes(const std::string& path, int flags, int64_t* access, int64_t* modification,
                   int64_t* creation) {
  struct statx info {};
  if (statx(AT_FDCWD, path.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
    return CZuError::FromErrno("Cannot read the times of [" + path + "]", errno);
  }
  if (access) *access = info.stx_atime.tv_sec;
  if (modification) *modification = info.stx_mtime.tv_sec;
  if (creation) {
    *creation = (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
  }
  return CZuError::Success();
}

}  // namespace

CZuError CZuFile::GetTimes(const std::string& path, int64_t* access, int64_t* modification,
                           int64_t* creation) {
  return readTimes(path, 0, access, modification, creation);
}

CZuError CZuFile::GetLinkTimes(const std::string& path, int64_t* access, int64_t* modification,
                               int64_t* creation) {
  return readTimes(path, AT_SYMLINK_NOFOLLOW, access, modification, creation);
}

CZuError CZuFile::Delete(const std::string& path) {
  if (unlink(path.c_str()) != 0) return CZuError::FromErrno("Cannot delete [" + path + "]", errno);
  return CZuError::Success();
}

bool CZuFile::Exists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

}  // namespace zarezodud
