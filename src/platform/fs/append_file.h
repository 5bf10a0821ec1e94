// AppendFile: a file that grows only by whole appended pieces (journal records). A write that
// fails part way (disk full, file size limit) is cut back off, so the file always ends after a
// whole piece; syncData() makes everything appended so far durable (fdatasync). Files are
// opened without following symbolic links and created with mode 0600.
//
// Thread-safety: an object belongs to one thread at a time.
#ifndef ZAREZODUD_PLATFORM_FS_APPEND_FILE_H
#define ZAREZODUD_PLATFORM_FS_APPEND_FILE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "base/fd_io.h"

namespace zarezodud {

class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens an existing file for reading and appending. False with error.
  bool openExisting(const std::string& path, std::string& error);
  // Creates a new, empty file named like target plus a unique suffix in target's directory
  // (to be put in place with replace()). False with error.
  bool createBeside(const std::string& target, std::string& error);
  // Renames the file over target (atomically) and syncs the directory. False with error; the
  // file stays open either way.
  bool replace(const std::string& target, std::string& error);

  bool isOpen() const { return m_fd.valid(); }
  int fd() const { return m_fd.get(); }
  const std::string& path() const { return m_path; }
  // Bytes in the file: its size when opened plus what was appended since.
  uint64_t size() const { return m_size; }

  // Appends bytes whole or not at all. False with error (the file is as it was before).
  bool append(std::string_view bytes, std::string& error);
  // fdatasync. False with error.
  bool syncData(std::string& error);
  // Cuts the file to size bytes (size <= size()). False with error.
  bool truncate(uint64_t size, std::string& error);
  // Closes the file, removing it when it was created by createBeside() and never replaced.
  void discard();
  void close() { m_fd = fdio::ScopedFd(); }

 private:
  fdio::ScopedFd m_fd;
  std::string m_path;
  uint64_t m_size = 0;
  bool m_temporary = false;
};

// A name for a new file beside target: target + "." + six random letters or digits. One random
// source serves the whole process.
std::string uniqueSiblingName(const std::string& target);

}  // namespace zarezodud

#endif
