#include "engine/execute_executable.h"

#include <cstdio>
#include <cstring>

#include "log/zarezodud_logger.h"
#include "platform/process/rk_process.h"

namespace {

// The path as it may stand between double quotes on a shell line: the four characters that
// keep a meaning there ($ ` " \) are escaped, so a path is always taken as a name and never
// expanded or run.
std::string quotedPathText(const std::string& path) {
  std::string text;
  text.reserve(path.size());
  for (char c : path) {
    if (c == '$' || c == '`' || c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return text;
}

}  // namespace

int executeExecutable(std::string command, char* errorText, std::size_t errorTextSize, int& exitCode,
                      std::string outputFile, int /*unused*/) {
  char commandLine[8192];
  std::snprintf(commandLine, sizeof commandLine, "%s > \"%s\" 2>&1 ", command.c_str(),
                quotedPathText(outputFile).c_str());
  std::string out, err;
  exitCode = zarezodud::RkProcess::system(commandLine, out, err, 0, false);
  ZARezodudLogger::LogLine("executeExecutable", "Return Code %d", exitCode);
  if (exitCode != 0) {
    if (errorText != nullptr && errorTextSize > 0) {
      const std::size_t n = err.size() < errorTextSize - 1 ? err.size() : errorTextSize - 1;
      std::memcpy(errorText, err.data(), n);
      errorText[n] = '\0';
    }
    return 0;
  }
  return 1;
}
