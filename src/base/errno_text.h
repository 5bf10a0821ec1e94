// The one place where a system error number becomes text. Thread-safe (strerror_r).
#ifndef ZAREZODUD_BASE_ERRNO_TEXT_H
#define ZAREZODUD_BASE_ERRNO_TEXT_H

#include <string>

namespace zarezodud {

// The system's text for err ("No such file or directory").
std::string errnoText(int err);

// "<what> [<path>]: <errnoText(err)>", the form of every system-call failure message.
std::string errnoMessage(const std::string& what, const std::string& path, int err);

}  // namespace zarezodud

#endif
