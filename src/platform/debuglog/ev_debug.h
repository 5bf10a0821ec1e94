// EvDebug: the debug-log facility. An EvDebug object is one log with a debug level: a
// message passes when its level is at or below the log's level. It writes either its own
// file (init with a path; size limit in megabytes, a number of rotated versions kept) or
// through a plain logger that someone else owns (init with an EvDebugFileInstance), which
// is how the script-time log shares the "ScriptTime" sink. Line layout, rotation and
// flushing belong to CZuLogger (platform/czu_logger.h).
//
// Before a successful init an EvDebug writes nothing: messages are dropped silently.
//
// Thread-safety: every member may be called from any thread; lines are written whole and
// flushed one by one. init() and the limit setters are meant for set-up, but calling them
// while others log is safe.
#ifndef ZAREZODUD_PLATFORM_DEBUGLOG_EV_DEBUG_H
#define ZAREZODUD_PLATFORM_DEBUGLOG_EV_DEBUG_H

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/debuglog/czu_logger.h"

namespace zarezodud {

// Describes a log that writes through an outside plain logger rather than a file of its own.
struct EvDebugFileInstance {
  // Which output the instance stands for. -1 (the default) is the log's own file; any other
  // value means "write through `logger`" (the script-time log uses -3).
  int fileId = -1;
  // The plain logger to write through; not owned, must outlive every EvDebug using it.
  CZuLogger* logger = nullptr;
  // The level the log starts with.
  int debugLevel = 5;
};

class EvDebug {
 public:
  static constexpr int kDefaultDebugLevel = 5;
  static constexpr long long kDefaultSizeLimitMb = 10;
  static constexpr int kDefaultVersions = 3;

  // An unconfigured log at the environment's level (see debugLevelFromEnvironment()).
  EvDebug();
  ~EvDebug();
  EvDebug(const EvDebug&) = delete;
  EvDebug& operator=(const EvDebug&) = delete;

  // Opens filePath as this log's own file with the current size limit and version count.
  // options, value, the flag and tag are accepted for call compatibility and ignored.
  // Resets the level from the environment. False when filePath is empty or cannot be
  // opened; then the previous configuration (if any) stays.
  bool init(unsigned int options, int value, const std::string& filePath, bool flag, const std::string& tag);

  // Writes through instance->logger from now on, at instance->debugLevel. False when
  // instance is null or its logger is null or not open. The instance is read, not kept.
  bool init(EvDebugFileInstance* instance, unsigned int options, int value, bool flag,
            const std::string& tag);

  // Size limit (megabytes; 0 or less: never rotate) and number of rotated files kept for
  // the log's own file. They apply at once when the file is open, else at the next init.
  void setFileSizeLimit(long long megabytes);
  void setVersions(int count);

  int getDebugLevel() const { return level_.load(); }
  void setDebugLevel(int level) { level_.store(level); }
  // True when a message of this level would be written (level <= the log's level).
  bool passes(int level) const { return level <= level_.load(); }
  bool isInitialized() const;
  // The file the log writes ("" before init).
  std::string filePath() const;
  // Why the last init with a path failed ("" when it did not, or there was none).
  std::string initError() const;
  // Why the first failed write to the file now written failed ("" when every line reached
  // it); see CZuLogger::writeError().
  std::string writeError() const;

  // The message call: printf-style format and arguments at a level, with a context
  // ("Class::method"; may be null). fileId, flags and event are accepted for call
  // compatibility and ignored. The format must be a literal or trusted text: pass outside
  // text as an argument of "%s".
  void dbgmsg(int level, const char* context, int fileId, int flags, const void* event, const char* format,
              ...) __attribute__((format(printf, 7, 8)));
  void vdbgmsg(int level, const char* context, int fileId, int flags, const void* event, const char* format,
               va_list args) __attribute__((format(printf, 7, 0)));

  // The level-and-format call: like dbgmsg with no context.
  void msg(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Writes text at a level exactly as it is (no format interpretation).
  void write(int level, const char* context, std::string_view text);

  // The name of the current process (from /proc/self/comm), never empty.
  static std::string getProcessName();
  // ZAREZODUD_DEBUG_LEVEL when it holds an integer, else kDefaultDebugLevel.
  static int debugLevelFromEnvironment();

 private:
  mutable std::mutex mu_;
  std::atomic<int> level_;
  std::unique_ptr<CZuLogger> own_;  // the own file, when init was given a path
  CZuLogger* target_ = nullptr;     // where lines go: own_.get() or an instance's logger
  long long sizeLimitMb_ = kDefaultSizeLimitMb;
  int versions_ = kDefaultVersions;
  std::string initError_;
};

}  // namespace zarezodud

#endif
