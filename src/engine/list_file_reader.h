// ListFileReader: reads a list file (.lst) as every list user reads it: one name per line,
// each line trimmed of white space, empty lines and lines beginning with "#" skipped, order
// kept. Used by validation, the SQL/batch/executable list runners and the common SQL file list.
//
// Beyond plain text the reader refuses what no list file holds, so that no caller ever acts on
// a damaged list: a directory or unreadable file cannot be opened; a NUL byte or a line longer
// than kMaxLineLength ends reading with a read error and a message saying where.
//
// Thread-safety: one reader per thread.
#ifndef ZAREZODUD_ENGINE_LIST_FILE_READER_H
#define ZAREZODUD_ENGINE_LIST_FILE_READER_H

#include <cstdio>
#include <string>
#include <vector>

namespace zarezodud {

class ListFileReader {
 public:
  static constexpr size_t kMaxLineLength = 8192;

  ListFileReader() = default;
  ~ListFileReader();
  ListFileReader(const ListFileReader&) = delete;
  ListFileReader& operator=(const ListFileReader&) = delete;

  // Opens the list file for reading; false when it is missing, a directory or unreadable.
  bool open(const std::string& path);
  // The next usable entry (trimmed, non-empty, not a comment). False at the end of the file
  // or on a read error; failed() tells which.
  bool next(std::string& entry);
  // True when reading stopped on an error rather than at the end of the file.
  bool failed() const { return m_failed; }
  // What the error was ("" when none), e.g. "List file [x] holds a NUL byte on line 3."
  const std::string& errorText() const { return m_error; }

  // All usable entries of a file; false (with the entries read so far) on open or read error.
  static bool readAll(const std::string& path, std::vector<std::string>& entries, std::string* error = nullptr);

 private:
  bool readLine(std::string& line);
  void fail(const std::string& message);

  std::FILE* m_file = nullptr;
  std::string m_path;
  std::vector<char> m_buffer;
  size_t m_pos = 0;
  size_t m_len = 0;
  size_t m_lineNumber = 0;
  bool m_eof = false;
  bool m_failed = false;
  std::string m_error;
};

}  // namespace zarezodud

#endif
