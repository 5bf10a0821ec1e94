// ZARezodudLogger: the process-wide upgrade log and, beside it, the script-time log.
// Both are front ends over the platform debug-log facility (platform/ev_debug.h): this class
// decides the set-up and the call shapes, the facility owns line layout, rotation and writing.
//
// Thread-safety: the two logs are process-wide statics. Logging calls may come from any
// thread (the facility serialises writes); init() is meant to be called once, before use.
#ifndef ZAREZODUD_LOG_ZAREZODUD_LOGGER_H
#define ZAREZODUD_LOG_ZAREZODUD_LOGGER_H

#include <functional>
#include <string>

#include "export.h"

class ZAREZODUD_API ZARezodudLogger {
 public:
  ZARezodudLogger() = default;
  ~ZARezodudLogger() = default;

  // Sets up the upgrade log at logFilePath (10 MB size limit, 3 kept versions) and the
  // script-time log ("ScriptTime" sink beside it). True on success and when already
  // initialised (then nothing changes); false on failure, and a later call tries again.
  static bool init(const std::string& logFilePath);

  // printf-style message to the upgrade log at the log's current debug level (so it always
  // passes the level filter). context is "Class::method". A message formatted beforehand
  // must be passed as the argument of "%s", never as the format.
  static void LogLine(const char* context, const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A text with no arguments: written exactly as it is ('%' is an ordinary character).
  static void LogLine(const char* context, const std::string& format);
  // The same at an explicit debug level.
  static void LogLine(int level, const char* context, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  // Writes "<scriptName> - <seconds> secs" to the script-time log at level 3.
  static void LogScriptTime(const std::string& scriptName, int seconds);
  // Writes text to the script-time log at level 3, unchanged.
  static void LogToScriptTimeLog(const std::string& text);

  // Why the last init() failed ("" when it did not): the file that could not be opened and
  // the reason (a directory that cannot be made, a planted symbolic link).
  static std::string initFailure();
  // Why the first line that did not reach the upgrade log or the script-time log failed, the
  // log named ("" while every line was written): a full disk, a file-size limit. A host that
  // keeps the logs as its record of a run treats this as a failed run.
  static std::string writeFailure();

  // A process-wide listener that also receives every upgrade-log line written through LogLine
  // (context and formatted message), whatever the log's level filter and whether or not the
  // log is initialised. The command-line front end installs one to show validation problems.
  // An empty function removes it. Install it before logging starts and remove
  // it after: it is not synchronised with concurrent LogLine calls.
  using LineTap = std::function<void(const char* context, const std::string& message)>;
  static void setLineTap(LineTap tap);

  // Test support (not exported): forget the initialisation so that init() can be exercised
  // again, and the path given to the last successful init().
  ZAREZODUD_HIDDEN static void resetForTesting();
  ZAREZODUD_HIDDEN static std::string logFilePathForTesting();
};

#endif
