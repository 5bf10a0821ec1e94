#include "state_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/run_journal.h"

namespace zcli {

std::string defaultStateDirectory(uid_t euid, const char* xdgStateHome, const char* home) {
  if (euid == 0) return "/var/lib/zarezodud";
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') return std::string(xdgStateHome) + "/zarezodud";
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/zarezodud";
  return std::string();
}

std::string defaultStateDirectory() {
  return defaultStateDirectory(::geteuid(), std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

bool prepareStateDirectory(const std::string& directory, std::string& error) {
  if (directory.empty()) {
    error = "no state directory: HOME is not set; give one with --state-dir";
    return false;
  }
  // Each missing directory on the way is made private; existing ones are left as they are
  // and judged by the trust check below.
  std::string path;
  size_t from = 0;
  while (from != std::string::npos) {
    const size_t slash = directory.find('/', from);
    path = directory.substr(0, slash);
    from = slash == std::string::npos ? slash : slash + 1;
    if (path.empty()) continue;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create the state directory [" + path + "]: " + std::strerror(errno);
      return false;
    }
  }
  std::string why;
  if (!RunJournal::checkDirectory(directory, why)) {
    error = "the state directory [" + directory + "] cannot be trusted: " + why;
    return false;
  }
  return true;
}

}  // namespace zcli
