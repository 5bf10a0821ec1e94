#include "engine/platform_files.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fs/regular_file.h"

namespace zarezodud {

bool pathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool fileModificationTime(const std::string& path, int64_t& seconds) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  seconds = static_cast<int64_t>(st.st_mtime);
  return true;
}

FileFacts fileFacts(const std::string& path) {
  FileFacts facts;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    facts.exists = true;
    facts.isRegular = S_ISREG(st.st_mode);
    facts.kind = describeFileType(st.st_mode);
    facts.hasTime = true;
    facts.seconds = static_cast<int64_t>(st.st_mtime);
  } else {
    // Only "no such file" means absent; any other failure leaves a file whose time is unknown.
    facts.exists = errno != ENOENT && errno != ENOTDIR;
  }
  return facts;
}

}  // namespace zarezodud
