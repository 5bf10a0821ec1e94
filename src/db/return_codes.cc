#include "db/return_codes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/odbc/temp_output_file.h"

int isWarningCode(int code) { return (code == 1 || (code >= 101 && code <= 200)) ? 1 : 0; }

int isErrorCode(int code) { return (code >= 2 && code <= 100) ? 1 : 0; }

int getEffectiveReturnCode(int current, int newCode) {
  if (isWarningCode(current)) {
    if ((isWarningCode(newCode) && newCode > current) || isErrorCode(newCode)) return newCode;
    return current;
  }
  if (isErrorCode(current)) {
    return (isErrorCode(newCode) && newCode > current) ? newCode : current;
  }
  return (isWarningCode(newCode) || isErrorCode(newCode)) ? newCode : current;
}

void getTempOutputFile(const char* /*directory*/, char* buffer) {
  if (buffer == nullptr) return;
  const std::string path = zarezodud::tempOutputFilePath();
  std::memcpy(buffer, path.c_str(), path.size() + 1);
}

void truncateFile(const char* path) {
  if (path == nullptr) return;
  // O_TRUNC without O_CREAT: a missing file stays missing.
  int fd = ::open(path, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0) ::close(fd);
}
