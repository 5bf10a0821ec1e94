// The text of the exception being handled, for operations that turn any exception (the
// library's own or one thrown by a host-supplied service) into a failure result, since nothing
// may leave the library as an exception. Thread-safe.
#ifndef ZAREZODUD_DB_EXCEPTION_TEXT_H
#define ZAREZODUD_DB_EXCEPTION_TEXT_H

#include <string>

namespace zarezodud {

// what() of the exception being handled, or "unknown exception" when it is not a
// std::exception. Call only inside a catch block.
std::string currentExceptionText();

}  // namespace zarezodud

#endif
