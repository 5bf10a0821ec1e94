#include "log/zarezodud_logger.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/debuglog/czu_logger.h"
#include "platform/debuglog/ev_debug.h"

namespace {

using zarezodud::CZuLogger;
using zarezodud::EvDebug;
using zarezodud::EvDebugFileInstance;

// Option words and values handed to the facility at set-up.
constexpr unsigned int kUpgradeLogOptions = 0x69A685F2u;
constexpr unsigned int kScriptLogOptions = 0x297E65FFu;
constexpr long long kUpgradeLogSizeLimitMb = 10;
constexpr int kUpgradeLogVersions = 3;
constexpr long long kScriptTimeSizeLimit = 0x7FFFFFFF;
constexpr int kScriptTimeFileId = -3;
constexpr int kScriptTimeLevel = 3;
constexpr const char* kScriptTimeSinkName = "ScriptTime";

// The two process-wide logs, constructed unconfigured at load.
EvDebug Logger;
EvDebug ScriptLogger;
bool initialized = false;
std::string initializedPath;
ZARezodudLogger::LineTap lineTap;

// Hands the formatted line to the tap, when one is installed. args is left untouched.
void tapFormatted(const char* context, const char* format, va_list args) {
  if (!lineTap) return;
  char buffer[4096];
  va_list copy;
  va_copy(copy, args);
  std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  lineTap(context, buffer);
}

// Serialises init() and the test hooks; the logs themselves need no lock from here.
std::mutex initMutex;
std::string initFailureText;  // guarded by initMutex

}  // namespace

bool ZARezodudLogger::init(const std::string& logFilePath) {
  std::lock_guard<std::mutex> lock(initMutex);
  if (initialized) return true;

  initFailureText.clear();
  if (!Logger.init(kUpgradeLogOptions, 0, logFilePath, false, std::string())) {
    initFailureText = Logger.initError();
    return false;
  }
  Logger.setFileSizeLimit(kUpgradeLogSizeLimitMb);
  Logger.setVersions(kUpgradeLogVersions);

  static CZuLogger scriptTimeSink;
  if (scriptTimeSink.init(kScriptTimeSinkName, logFilePath, kScriptTimeSizeLimit, false, false) != 0) {
    initFailureText = scriptTimeSink.lastError();
    std::fputs("Logger initialization failed. Terminating ZARezodud.\n", stdout);
    std::fflush(stdout);
    return false;
  }

  static EvDebugFileInstance scriptTimeInstance;
  scriptTimeInstance.fileId = kScriptTimeFileId;
  scriptTimeInstance.logger = &scriptTimeSink;
  scriptTimeInstance.debugLevel = Logger.getDebugLevel();

  if (!ScriptLogger.init(&scriptTimeInstance, kScriptLogOptions, 0, false, std::string())) {
    std::fputs("ScriptLogger initialization failed. Terminating ZARezodud.\n", stdout);
    std::fflush(stdout);
    return false;
  }
  ScriptLogger.setDebugLevel(Logger.getDebugLevel());
  initialized = true;
  initializedPath = logFilePath;
  return true;
}

void ZARezodudLogger::LogLine(const char* context, const char* format, ...) {
  va_list args;
  va_start(args, format);
  tapFormatted(context, format, args);
  Logger.vdbgmsg(Logger.getDebugLevel(), context, -1, 0, nullptr, format, args);
  va_end(args);
}

void ZARezodudLogger::LogLine(const char* context, const std::string& format) {
  // This overload takes no arguments, so the text is written as it is: a '%' in it cannot
  // be taken for a conversion that would read an argument that is not there.
  if (lineTap) lineTap(context, format);
  Logger.write(Logger.getDebugLevel(), context, format);
}

void ZARezodudLogger::LogLine(int level, const char* context, const char* format, ...) {
  va_list args;
  va_start(args, format);
  tapFormatted(context, format, args);
  Logger.vdbgmsg(level, context, -1, 0, nullptr, format, args);
  va_end(args);
}

void ZARezodudLogger::LogScriptTime(const std::string& scriptName, int seconds) {
  const std::string text = scriptName + " - " + std::to_string(seconds) + " secs";
  ScriptLogger.msg(kScriptTimeLevel, "%s", text.c_str());
}

void ZARezodudLogger::LogToScriptTimeLog(const std::string& text) {
  ScriptLogger.msg(kScriptTimeLevel, "%s", text.c_str());
}

std::string ZARezodudLogger::initFailure() {
  std::lock_guard<std::mutex> lock(initMutex);
  return initFailureText;
}

std::string ZARezodudLogger::writeFailure() {
  const std::string upgrade = Logger.writeError();
  if (!upgrade.empty()) return "upgrade log: " + upgrade;
  const std::string scriptTime = ScriptLogger.writeError();
  if (!scriptTime.empty()) return "script-time log: " + scriptTime;
  return std::string();
}

void ZARezodudLogger::setLineTap(LineTap tap) { lineTap = std::move(tap); }

void ZARezodudLogger::resetForTesting() {
  std::lock_guard<std::mutex> lock(initMutex);
  initialized = false;
  initializedPath.clear();
}

std::string ZARezodudLogger::logFilePathForTesting() {
  std::lock_guard<std::mutex> lock(initMutex);
  return initializedPath;
}
