// A fault-injection library for the crash tests, loaded into the zarezodud command with
// LD_PRELOAD: it kills the process with SIGKILL at one exact system call, so that a test can
// strike a precise boundary (between a script's end and its record, during compaction) instead
// of a random moment. It wraps the C library's open, write, fsync, fdatasync and rename
// families and recv, and does nothing unless configured by the environment:
//
//   ZTEST_KILL_ARM=<suffix>   arm at the first open of a path that ends with suffix
//                             (unset: armed from the start)
//   ZTEST_KILL_AFTER_RECV=1   once armed, wait for data received from a socket (a server
//                             answer) before looking for the kill point
//   ZTEST_KILL_AT=<call>[:<suffix>][#<n>]
//                             the call to kill at: "write" (a write to a file whose path ends
//                             with suffix), "sync" (fsync or fdatasync), "rename" (whose target
//                             ends with suffix); the n-th such call after arming (default 1)
//
// The process dies before the call is made. Test instrument only.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Config {
  bool loaded = false;
  std::string arm;
  bool afterRecv = false;
  std::string call;
  std::string suffix;
  long count = 1;
};

Config& config() {
  static Config c;
  if (!c.loaded) {
    c.loaded = true;
    if (const char* arm = std::getenv("ZTEST_KILL_ARM")) c.arm = arm;
    if (const char* recv = std::getenv("ZTEST_KILL_AFTER_RECV")) c.afterRecv = std::strcmp(recv, "1") == 0;
    if (const char* at = std::getenv("ZTEST_KILL_AT")) {
      // <call>[:<path suffix>][#<occurrence>]
      std::string killPoint = at;
      const size_t hash = killPoint.find('#');
      if (hash != std::string::npos) {
        c.count = std::strtol(killPoint.c_str() + hash + 1, nullptr, 10);
        killPoint.resize(hash);
      }
      const size_t colon = killPoint.find(':');
      c.call = killPoint.substr(0, colon);
      if (colon != std::string::npos) c.suffix = killPoint.substr(colon + 1);
    }
  }
  return c;
}

bool armed = false;
bool received = false;
long seen = 0;

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void noteOpen(const char* path) {
  const Config& c = config();
  if (!armed && path != nullptr && !c.arm.empty() && endsWith(path, c.arm)) armed = true;
}

bool looking() {
  const Config& c = config();
  if (c.call.empty()) return false;
  if (!armed && c.arm.empty()) armed = true;
  return armed && (!c.afterRecv || received);
}

void strike(const char* call, const std::string& target) {
  const Config& c = config();
  if (!looking() || c.call != call || (!c.suffix.empty() && !endsWith(target, c.suffix))) return;
  if (++seen == c.count) ::kill(::getpid(), SIGKILL);
}

std::string pathOfFd(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[4096];
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

template <class F>
F next(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// The mode argument that open, open64 and openat take only when they may create the file.
#define ZTEST_MODE_ARGUMENT(flags, mode)           \
  mode_t mode = 0;                                 \
  if ((flags) & (O_CREAT | O_TMPFILE)) {           \
    va_list args;                                  \
    va_start(args, flags);                         \
    mode = static_cast<mode_t>(va_arg(args, int)); \
    va_end(args);                                  \
  }

extern "C" {

int open(const char* path, int flags, ...) {
  ZTEST_MODE_ARGUMENT(flags, mode);
  noteOpen(path);
  static auto real = next<int (*)(const char*, int, ...)>("open");
  return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  ZTEST_MODE_ARGUMENT(flags, mode);
  noteOpen(path);
  static auto real = next<int (*)(const char*, int, ...)>("open64");
  return real(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
  ZTEST_MODE_ARGUMENT(flags, mode);
  noteOpen(path);
  static auto real = next<int (*)(int, const char*, int, ...)>("openat");
  return real(dir, path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) {
  noteOpen(path);
  static auto real = next<FILE* (*)(const char*, const char*)>("fopen");
  return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  noteOpen(path);
  static auto real = next<FILE* (*)(const char*, const char*)>("fopen64");
  return real(path, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
  if (looking() && config().call == "write") strike("write", pathOfFd(fd));
  static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  return real(fd, data, size);
}

int fsync(int fd) {
  if (looking() && config().call == "sync") strike("sync", pathOfFd(fd));
  static auto real = next<int (*)(int)>("fsync");
  return real(fd);
}

int fdatasync(int fd) {
  if (looking() && config().call == "sync") strike("sync", pathOfFd(fd));
  static auto real = next<int (*)(int)>("fdatasync");
  return real(fd);
}

int rename(const char* from, const char* to) {
  strike("rename", to != nullptr ? to : "");
  static auto real = next<int (*)(const char*, const char*)>("rename");
  return real(from, to);
}

ssize_t recv(int fd, void* buffer, size_t size, int flags) {
  static auto real = next<ssize_t (*)(int, void*, size_t, int)>("recv");
  const ssize_t got = real(fd, buffer, size, flags);
  if (got > 0 && armed) received = true;
  return got;
}

}  // extern "C"
