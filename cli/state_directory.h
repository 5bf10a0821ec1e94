// Where `run` keeps its journals, lock files and default reports. Without --state-dir: root's
// runs use /var/lib/zarezodud; other users' runs use $XDG_STATE_HOME/zarezodud, or
// ~/.local/state/zarezodud when XDG_STATE_HOME is unset or not an absolute path. A state
// directory that is missing is created with mode 0700; one that another user could change is
// refused (RunJournal::checkDirectory), since a journal planted there would decide what runs.
//
// Thread-safety: stateless; reads the process environment.
#ifndef ZAREZODUD_CLI_STATE_DIRECTORY_H
#define ZAREZODUD_CLI_STATE_DIRECTORY_H

#include <sys/types.h>

#include <string>

namespace zcli {

// The default state directory for effective user euid with the given XDG_STATE_HOME and HOME
// values (null when unset). "" when none can be formed (no usable HOME).
std::string defaultStateDirectory(uid_t euid, const char* xdgStateHome, const char* home);
// The same for this process.
std::string defaultStateDirectory();

// Creates directory when missing (missing parents too, each with mode 0700) and checks that it
// can be trusted. False with a message that names the directory and why it cannot be used.
bool prepareStateDirectory(const std::string& directory, std::string& error);

}  // namespace zcli

#endif
