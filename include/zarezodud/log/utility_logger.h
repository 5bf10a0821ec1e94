// UtilityLogger: the utility log and per-file logs (phase logs), written line by line with
// the C library (open, append, close per line), and the scanner of SQL script output files.
//
// Thread-safety: the utility log's file name is process-wide; set it from one thread before
// logging. Each line is one open/append/close, so lines from several writers interleave only
// at line boundaries. The scanner keeps no state between calls.
#ifndef ZAREZODUD_LOG_UTILITY_LOGGER_H
#define ZAREZODUD_LOG_UTILITY_LOGGER_H

#include <string>
#include <vector>

#include "export.h"

namespace RKZARezodud {
class Script;
}

// One marked message found by the scanner: the marker's index in INFORTYPELIST and its text.
struct ZAREZODUD_API LOGINFO {
  int type = 0;
  std::string message;
};

class ZAREZODUD_API UtilityLogger {
 public:
  virtual ~UtilityLogger();

  // Line writers: 0 on success, -1 when the file cannot be opened (then "Failed to open the
  // log file [%s].\n" goes to standard output) or the line cannot be written whole (disk
  // full, file-size limit: the file is cut back to its previous end and "Failed to write the
  // log file [%s].\n" goes to standard output). Messages are written unchanged.
  // To the utility log: "MM/DD HH:MM:SS \t<message>\n"; with a prefix "<prefix> - <message>".
  static int LogLine(const std::string& message);
  static int LogLine(const char* message);
  static int LogLine(const char* prefix, const std::string& message);
  static int LogLine(const char* prefix, const char* message);
  // To the given file: "MM/DD HH:MM:SS \t## <message>\n"; with a prefix "<prefix> ## <message>".
  static int LogToFile(const std::string& message, const std::string& filePath);
  static int LogToFile(const char* message, const std::string& filePath);
  static int LogToFile(const char* prefix, const std::string& message, const std::string& filePath);
  static int LogToFile(const char* prefix, const char* message, const std::string& filePath);

  // Sets the utility log's path (at most 255 characters are kept); null changes nothing.
  static int SetLogFileName(const char* name);
  static std::string GetLogFileName();

  // Copies each line of source into target through LogToFile (time stamp and "## ").
  static void printoutContents(const char* ignored, const std::string& source, const std::string& target);
  // Appends each line of source to target unchanged, each followed by a newline.
  static void printoutContentsWithoutTS(const std::string& source, const std::string& target);

  // Scanner of script output files.
  static bool GetFileContent(const std::string& path, std::string& content);
  static bool GetErrorListS(const std::string& path, std::vector<LOGINFO>& entries);
  static std::vector<std::string> splitRK(const std::string& text, const std::string& separator);
  static void GetXMLMsgFromFile(const std::string& path, RKZARezodud::Script& script);
};

#endif
