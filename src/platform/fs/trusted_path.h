// Whether a file that steers what this process does (a run journal naming the parameter file
// and phase to run) can be trusted: only what this process's user, or root, could have written.
//
// A file is trusted when it is a regular file owned by the effective user or by root and
// writable by neither its group nor others. A directory is trusted when it and every directory
// above it are owned by the effective user or by root, and each one that its group or others
// may write to carries the sticky bit (so nobody else can replace what is in it). Otherwise
// another user could have planted the file, or could swap it under us.
//
// Thread-safety: stateless; any thread.
#ifndef ZAREZODUD_PLATFORM_FS_TRUSTED_PATH_H
#define ZAREZODUD_PLATFORM_FS_TRUSTED_PATH_H

#include <string>

namespace zarezodud {

// fd: the opened file (checked with fstat, so the answer is about what was opened); path names
// it in the message. False with error saying why it is not trusted.
bool checkTrustedFile(int fd, const std::string& path, std::string& error);

// directory: an existing directory (symbolic links are resolved first). False with
// error naming the first directory on the way that is not trusted, and why.
bool checkTrustedDirectory(const std::string& directory, std::string& error);

}  // namespace zarezodud

#endif
