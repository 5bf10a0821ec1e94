// Reading the files the engine takes as input (scripts, list files) without ever blocking or
// spinning on something that is not a file: a path is opened non-blocking, checked with fstat to
// be a regular file (after following symbolic links), and only then read. A FIFO, a device, a
// socket or a directory is refused with a message that names the path and what it is.
// The whole-file read also computes the SHA-256 of the bytes as they pass, so a caller that
// needs both the text and its digest reads the file once.
//
// Thread-safety: the functions keep no state and may be called from any thread.
#ifndef ZAREZODUD_PLATFORM_FS_REGULAR_FILE_H
#define ZAREZODUD_PLATFORM_FS_REGULAR_FILE_H

#include <sys/types.h>

#include <string>

#include "export.h"

namespace zarezodud {

// "a directory", "a FIFO", "a character device", "a block device", "a socket", "a symbolic
// link", "a regular file" or "a special file" for the file-type bits of mode.
const char* describeFileType(mode_t mode);

// True when path names a regular file (symbolic links followed). False with error set to
// "[<path>] is <what it is>, not a regular file." or to the system's reason ("... No such file
// or directory") when it cannot be examined. Opens nothing.
bool checkRegularFile(const std::string& path, std::string& error);

// Opens path for reading the way readRegularFile does (non-blocking, so a FIFO cannot make it
// wait; then fstat) and hands over the descriptor when it is a regular file: the caller owns
// it and reads it as usual (reads of a regular file are never short for lack of data). -1
// with error set ("[<path>] is a FIFO, not a regular file." or the system's reason) otherwise;
// systemError, when given, receives the errno of a failed system call (0 when the path was
// examined and is not a regular file).
int openRegularFile(const std::string& path, std::string& error, int* systemError = nullptr);

enum class FileReadResult {
  kRead,        // bytes (and digest) filled
  kCannotOpen,  // the path could not be opened (missing, no permission, ...)
  kNotRegular,  // it names a directory, FIFO, device or socket; nothing was read from it
  kReadFailed,  // opened, but reading failed part way
};

// Reads the whole of a regular file into bytes. When sha256Hex is given it receives the
// lower-case hexadecimal SHA-256 of exactly those bytes. Anything but kRead leaves the outputs
// untouched and sets error to a text naming the path and the reason; a FIFO or device is
// refused without waiting on it.
ZAREZODUD_API FileReadResult readRegularFile(const std::string& path, std::string& bytes,
                                             std::string* sha256Hex, std::string& error);

}  // namespace zarezodud

#endif
