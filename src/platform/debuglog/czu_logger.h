// CZuLogger: one plain log file with size-based rotation. It is the writing end of the
// debug-log facility (platform/ev_debug.h): it owns the file, the line layout
// "<pid> <tid> MM/DD HH:MM:SS.mmm <level> <context> <message>", rotation and flushing.
// It applies no level filter of its own; EvDebug decides what reaches it.
//
// In a directory other users can write, a symbolic link in the log's place is refused rather
// than followed (platform/shared_directory.h).
//
// Thread-safety: every member may be called from any thread. Writes are serialised by the
// underlying sink, and every line is written to the file before write() returns, so a crash
// loses no line that was written. Re-opening while other threads write is safe; a line goes either
// to the old or to the new file.
#ifndef ZAREZODUD_PLATFORM_DEBUGLOG_CZU_LOGGER_H
#define ZAREZODUD_PLATFORM_DEBUGLOG_CZU_LOGGER_H

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace zarezodud {

class CZuLogger {
 public:
  CZuLogger();
  ~CZuLogger();
  CZuLogger(const CZuLogger&) = delete;
  CZuLogger& operator=(const CZuLogger&) = delete;

  // Named sink: writes "<name>.log" in the directory of pathInDirectory (the current
  // directory when that path has none), rotating at sizeLimitMb megabytes (0 or less: never)
  // and keeping one rotated file. The two flags are accepted for call compatibility and
  // ignored. 0 on success; -1 on failure (empty name, file that cannot be opened), with the
  // reason in lastError(); a failed call leaves a previously opened file in use.
  int init(const std::string& name, const std::string& pathInDirectory, long long sizeLimitMb,
           bool unusedFlag1, bool unusedFlag2);

  // Writes exactly filePath, rotating at sizeLimitMb megabytes (0 or less: never) and
  // keeping `versions` rotated files (filePath's stem with ".1", ".2", … before the
  // extension). 0 on success, -1 on failure as for init().
  int open(const std::string& filePath, long long sizeLimitMb, int versions);

  // Writes one line with the layout above; context may be null or empty (then it is left
  // out). The message is written as it is, never interpreted. Does nothing when not open.
  void write(int level, const char* context, std::string_view message);

  bool isOpen() const;
  // The file being written ("" when not open).
  std::string filePath() const;
  // Why the last init()/open() failed ("" after a success).
  std::string lastError() const;
  // Why the first failed write of the file now open failed ("" when every line was written):
  // a full disk, a file-size limit, a rotation that could not start a new file.
  std::string writeError() const;

 private:
  struct Impl;
  mutable std::mutex mu_;
  std::shared_ptr<Impl> impl_;
  std::string lastError_;
};

}  // namespace zarezodud

#endif
