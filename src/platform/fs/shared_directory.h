// Opening files in directories that other users can write. In such a directory another user
// can plant a symbolic link under the name of a file this process is about to append to or
// read back (a log, the script output file) and so make it write into, or copy out of, a file
// of that user's choosing. There, files are opened without following links and a link is
// refused with a message; in a directory of this user alone, links are followed as usual (an
// operator may link a log on purpose).
//
// Thread-safe: no state.
#ifndef ZAREZODUD_PLATFORM_FS_SHARED_DIRECTORY_H
#define ZAREZODUD_PLATFORM_FS_SHARED_DIRECTORY_H

#include <sys/types.h>

#include <string>

namespace zarezodud {

// True when other users may create or replace entries in the directory that holds path: it is
// not owned by the effective user, or group or others may write it (sticky or not). A
// directory that cannot be examined counts as shared.
bool inSharedDirectory(const std::string& path);

// open(2) of path with flags and mode, adding O_CLOEXEC, and O_NOFOLLOW when the directory is
// shared. Returns the descriptor, or -1 with error: "[<path>] is a symbolic link in a
// directory that other users can write; refusing to follow it." for a planted link, else the
// system's reason.
int openRefusingPlantedLinks(const std::string& path, int flags, mode_t mode, std::string& error);

}  // namespace zarezodud

#endif
