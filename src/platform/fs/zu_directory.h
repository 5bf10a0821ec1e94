// CZuDirectory: a listing of the entries of one directory whose names match a shell pattern
// (fnmatch, case-sensitive; "*" also matches a leading dot). "." and ".." are never listed.
// Symbolic links are listed as entries of their own and never followed, neither to decide
// whether an entry is a directory nor to descend.
//
// Thread-safety: one object per thread; distinct objects are independent.
#ifndef ZAREZODUD_PLATFORM_FS_ZU_DIRECTORY_H
#define ZAREZODUD_PLATFORM_FS_ZU_DIRECTORY_H

#include <string>

#include "platform/fs/zu_error.h"

namespace zarezodud {

class CZuDirectory {
 public:
  CZuDirectory() = default;
  ~CZuDirectory();
  CZuDirectory(const CZuDirectory&) = delete;
  CZuDirectory& operator=(const CZuDirectory&) = delete;

  // Starts a listing of dir (closing any earlier one). pattern selects entries by name; an
  // empty pattern selects every entry. With skipDirectories, entries that are directories
  // themselves (not links to them) are left out. Failure when dir cannot be opened (missing,
  // not a directory, no permission); the listing is then in the error state.
  CZuError Open(const std::string& dir, const std::string& pattern, bool skipDirectories);

  // The next selected entry's name (not a path) into name. When the listing has no more
  // entries: success, name cleared and IsEnd() true. Failure when the directory cannot be
  // read or the listing is not open; IsError() is then true. Order is the file system's.
  CZuError Read(std::string& name);

  bool IsOpen() const { return m_dir != nullptr; }
  bool IsEnd() const { return m_end; }
  bool IsError() const { return m_error; }

  // Ends the listing; nothing when none is open.
  void Close();

 private:
  void* m_dir = nullptr;  // the open DIR stream
  std::string m_path;
  std::string m_pattern;
  bool m_skipDirectories = false;
  bool m_end = false;
  bool m_error = false;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_FS_ZU_DIRECTORY_H
