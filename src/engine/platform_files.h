// The file facts the engine asks of the platform file service: existence (not readability)
// and last-modification time. Thread-safe.
#ifndef ZAREZODUD_ENGINE_PLATFORM_FILES_H
#define ZAREZODUD_ENGINE_PLATFORM_FILES_H

#include <cstdint>
#include <string>

namespace zarezodud {

// True when something exists at path (a dangling symbolic link does not count).
bool pathExists(const std::string& path);
// The file's last-modification time in seconds since 1970-01-01; false when unavailable.
bool fileModificationTime(const std::string& path, int64_t& seconds);

// Existence and modification time from one look at the file: exists tells whether something
// is there; hasTime whether its time could be read (then in seconds); isRegular whether it is
// a regular file and kind what it is ("a directory", "a FIFO", ...), both after following
// links.
struct FileFacts {
  bool exists = false;
  bool isRegular = false;
  const char* kind = "";
  bool hasTime = false;
  int64_t seconds = 0;
};
FileFacts fileFacts(const std::string& path);

}  // namespace zarezodud

#endif
