// Where the registry store lives: the root directory (taken from the environment on every
// call, so a test or a host can move it at run time) and the file that holds one focus.
// Thread-safe as far as getenv is: do not change the environment while other threads call in.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_LOCATION_H
#define ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_LOCATION_H

#include <string>

namespace zarezodud {

// ZAREZODUD_REGISTRY_DIR when set and non-empty, else "/etc/zarezodud/registry".
std::string registryRoot();

// "<root>/<focus>.reg", or "<root>/global.reg" for the empty focus. Focus names become file
// names, so a name containing '/' or NUL, starting with '.', or equal to "global" is refused
// with a message and false.
bool registryFilePath(const std::string& focus, std::string* path, std::string* error);

}  // namespace zarezodud

#endif
