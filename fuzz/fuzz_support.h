// Helpers shared by the fuzz programs: a private scratch directory for the life of the process
// (removed at exit) and a way to put a fuzz input into a file there, since most readers under
// test take a path. Single-threaded, as libFuzzer runs its inputs.
#ifndef ZAREZODUD_FUZZ_FUZZ_SUPPORT_H
#define ZAREZODUD_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace zfuzz {

// The scratch directory's path (no trailing '/'); created on first use, aborts when it cannot be.
const std::string& scratchDir();

// Writes size bytes to <scratch>/<name>, replacing the file, and returns its path. Aborts when
// the file cannot be written: a broken harness must not look like a clean run.
std::string writeScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::string writeScratchFile(const std::string& name, const std::string& text);

// Reports a broken property of the code under test and aborts, so libFuzzer records a crash.
[[noreturn]] void fail(const char* what);

}  // namespace zfuzz

#define ZFUZZ_CHECK(cond)                              \
  do {                                                 \
    if (!(cond)) ::zfuzz::fail("check failed: " #cond); \
  } while (0)

#endif
