// POSIX file-descriptor helpers shared by the registry store and the credential key: an
// owning descriptor, whole-file reads and writes that survive short transfers and EINTR,
// directory creation and directory fsync, and the one place where errno becomes a message.
// Functions keep no state and are thread-safe; a ScopedFd belongs to one thread at a time.
#ifndef ZAREZODUD_BASE_FD_IO_H
#define ZAREZODUD_BASE_FD_IO_H

#include <string>

#include "export.h"

namespace zarezodud {
namespace fdio {

// Owns one open file descriptor and closes it on destruction. Move-only.
class ZAREZODUD_API ScopedFd {
 public:
  ScopedFd() = default;
  explicit ScopedFd(int fd);
  ~ScopedFd();
  ScopedFd(ScopedFd&& other) noexcept;
  ScopedFd& operator=(ScopedFd&& other) noexcept;
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now; false (with errno set) when close reported an error.
  bool close();
  // Gives up ownership: returns the descriptor (-1 when none) without closing it.
  int release();

 private:
  int fd_ = -1;
};

// Reads from the current position to end of file into out. False with a message on error.
bool readAll(int fd, const std::string& path, std::string* out, std::string* error);

// Writes size bytes. False with a message on error.
ZAREZODUD_API bool writeAll(int fd, const std::string& path, const void* data, size_t size,
                            std::string* error);

// Creates directory path and its missing parents with the given mode. True when it exists
// as a directory afterwards.
bool makeDirectories(const std::string& path, unsigned mode, std::string* error);

// Flushes a directory's entries (after a rename or link inside it) to stable storage.
bool syncDirectory(const std::string& path, std::string* error);

// The directory part of a path ("." when it has none).
std::string parentDirectory(const std::string& path);

}  // namespace fdio
}  // namespace zarezodud

#endif
