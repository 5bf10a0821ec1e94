// Random letters and digits for unique file names. One generator, seeded once from the system's
// random source, serves the whole process: opening the random device for every name made each
// temporary file cost two extra system calls.
//
// Thread-safety: any thread (the generator is guarded by a mutex).
#ifndef ZAREZODUD_BASE_RANDOM_TEXT_H
#define ZAREZODUD_BASE_RANDOM_TEXT_H

#include <cstddef>
#include <string>

namespace zarezodud {

// count characters from [A-Za-z0-9].
std::string randomAlphanumeric(std::size_t count);

}  // namespace zarezodud

#endif
