// The temporary output file that receives the server's messages while a script runs, and
// the layout of one message record in it.
//
// The directory is the output directory of the host settings (platform/host_settings.h):
// "/tmp/.qxsetup/" unless a host or ZAREZODUD_OUTPUT_DIR names another one. It is created with mode 0700 when
// missing; it is refused when it is a symbolic link, not a directory, owned by another user,
// or writable by group or others without the sticky bit. The file itself is opened without
// following links and only appended to.
//
// Thread-safety: the free functions are thread-safe. A TempOutputFile object is used by one
// thread at a time; records from separate objects interleave only whole (O_APPEND).
#ifndef ZAREZODUD_PLATFORM_ODBC_TEMP_OUTPUT_FILE_H
#define ZAREZODUD_PLATFORM_ODBC_TEMP_OUTPUT_FILE_H

#include <ctime>
#include <string>
#include <string_view>

namespace zarezodud {

// The process-wide output directory with a trailing '/' (effectiveOutputDirectory()).
std::string tempOutputDirectory();

// tempOutputDirectory() + "tempOutputFile.txt".
std::string tempOutputFilePath();

// One message record, newline included:
// "MM/DD/YY HH:MM:SS SQLState:[<state>] NativeError:[<n>] Message:[<text>] [RecNum:<r>, LineNum:<l>]\n"
// with the time in local time.
std::string formatMessageRecord(std::time_t when, std::string_view state, long nativeError,
                                std::string_view text, int recNum, int lineNum);

// An open, append-only handle on the temporary output file.
class TempOutputFile {
 public:
  TempOutputFile() = default;
  ~TempOutputFile();
  TempOutputFile(const TempOutputFile&) = delete;
  TempOutputFile& operator=(const TempOutputFile&) = delete;

  // Opens tempOutputFilePath() for appending (creating the directory and the file when
  // missing). On refusal or failure returns false, leaves the object closed and puts the
  // reason in error; nothing is written then.
  bool open(std::string& error);
  // The same for the file "tempOutputFile.txt" in directory (with or without trailing '/').
  bool openIn(const std::string& directory, std::string& error);
  // For a caller that writes one script's messages after another's: keeps the file open from
  // one script to the next, and opens it (as open() does) only when it is not open, when the
  // output directory setting changed, or when the file was removed since. Otherwise it costs
  // one fstat instead of the directory checks and the open of every script. Either way the
  // write error of the previous script is forgotten.
  bool openOrKeep(std::string& error);
  // The same for the file in directory (an object's own output directory).
  bool openOrKeepIn(const std::string& directory, std::string& error);

  // Appends text in one write; false when the file is not open or the write fails (a full
  // disk), with the reason kept for writeError().
  bool append(std::string_view text);
  // Why the first failed append failed ("" when none has): "[<path>]: No space left on device".
  const std::string& writeError() const { return m_writeError; }
  void close();
  bool isOpen() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
  std::string m_directory;  // as given to openIn()
  std::string m_path;
  std::string m_writeError;
};

}  // namespace zarezodud

#endif
