#include "platform/fs/zu_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace zarezodud {
namespace {

DIR* asDir(void* handle) { return static_cast<DIR*>(handle); }

}  // namespace

CZuDirectory::~CZuDirectory() { Close(); }

void CZuDirectory::Close() {
  if (m_dir) closedir(asDir(m_dir));
  m_dir = nullptr;
}

CZuError CZuDirectory::Open(const std::string& dir, const std::string& pattern, bool skipDirectories) {
  Close();
  m_path = dir;
  m_pattern = pattern;
  m_skipDirectories = skipDirectories;
  m_end = false;
  m_error = false;
  m_dir = opendir(dir.c_str());
  if (!m_dir) {
    m_error = true;
    return CZuError::FromErrno("Cannot open directory [" + dir + "]", errno);
  }
  return CZuError::Success();
}

CZuError CZuDirectory::Read(std::string& name) {
  name.clear();
  if (!m_dir) {
    m_error = true;
    return CZuError::Failure("No directory listing is open");
  }
  if (m_end) return CZuError::Success();
  for (;;) {
    errno = 0;
    struct dirent* entry = readdir(asDir(m_dir));
    if (!entry) {
      if (errno != 0) {
        m_error = true;
        return CZuError::FromErrno("Cannot read directory [" + m_path + "]", errno);
      }
      m_end = true;
      return CZuError::Success();
    }
    const char* entryName = entry->d_name;
    if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) continue;
    if (!m_pattern.empty() && fnmatch(m_pattern.c_str(), entryName, 0) != 0) continue;
    if (m_skipDirectories) {
      bool isDirectory = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN) {
        // The entry itself, not what a link points to.
        struct stat info {};
        isDirectory =
            fstatat(dirfd(asDir(m_dir)), entryName, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
      }
      if (isDirectory) continue;
    }
    name = entryName;
    return CZuError::Success();
  }
}

}  // namespace zarezodud
