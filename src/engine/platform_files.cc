#include "engine/platform_files.h"

#include <sys/stat.h>

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

}  // namespace zarezodud
