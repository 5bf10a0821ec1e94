#include "engine/list_file_reader.h"
#include "base/errno_text.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/text_trim.h"
#include "log/format_message.h"
#include "platform/fs/regular_file.h"

namespace zarezodud {

ListFileReader::~ListFileReader() {
  if (m_file != nullptr) std::fclose(m_file);
}

bool ListFileReader::open(const std::string& path) {
  if (m_file != nullptr) std::fclose(m_file);
  m_file = nullptr;
  m_path = path;
  m_pos = m_len = m_lineNumber = 0;
  m_eof = m_failed = false;
  m_error.clear();
  // Opened without blocking and checked to be a regular file first: a FIFO or a device named
  // as a list file is refused, never waited on or read without end.
  std::string error;
  int systemError = 0;
  const int fd = openRegularFile(path, error, &systemError);
  if (fd < 0) {
    m_error = systemError != 0 ? formatMessage("List file [%s] cannot be opened: %s.", path.c_str(),
                                               zarezodud::errnoText(systemError).c_str())
                               : "List file " + error;
    return false;
  }
  m_file = ::fdopen(fd, "r");
  if (m_file == nullptr) {
    ::close(fd);
    m_error = formatMessage("List file [%s] cannot be opened: %s.", path.c_str(), zarezodud::errnoText(errno).c_str());
    return false;
  }
  m_buffer.resize(std::size_t{64} * 1024);
  return true;
}

void ListFileReader::fail(const std::string& message) {
  m_failed = true;
  m_error = message;
}

bool ListFileReader::readLine(std::string& line) {
  line.clear();
  if (m_file == nullptr || m_failed) return false;
  bool any = false;
  for (;;) {
    if (m_pos == m_len) {
      if (m_eof) return any;
      m_len = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
      m_pos = 0;
      if (m_len == 0) {
        if (std::ferror(m_file)) {
          fail(formatMessage("List file [%s] could not be read: %s.", m_path.c_str(), zarezodud::errnoText(errno).c_str()));
          return false;
        }
        m_eof = true;
        if (any) ++m_lineNumber;
        return any;
      }
    }
    const char* begin = m_buffer.data() + m_pos;
    const size_t available = m_len - m_pos;
    const char* newline = static_cast<const char*>(std::memchr(begin, '\n', available));
    const size_t take = newline != nullptr ? static_cast<size_t>(newline - begin) : available;
    if (std::memchr(begin, '\0', take) != nullptr) {
      fail(formatMessage("List file [%s] holds a NUL byte on line %zu.", m_path.c_str(), m_lineNumber + 1));
      return false;
    }
    line.append(begin, take);
    any = true;
    m_pos += take;
    if (line.size() > kMaxLineLength) {
      fail(formatMessage("List file [%s] has a line longer than %zu characters on line %zu.", m_path.c_str(),
                         kMaxLineLength, m_lineNumber + 1));
      return false;
    }
    if (newline != nullptr) {
      ++m_pos;
      ++m_lineNumber;
      return true;
    }
  }
}

bool ListFileReader::next(std::string& entry) {
  std::string line;
  while (readLine(line)) {
    // A UTF-8 byte-order mark, as Windows editors write it, is not part of the first name.
    if (m_lineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    entry = trimCopy(line);
    if (entry.empty() || entry[0] == '#') continue;
    return true;
  }
  entry.clear();
  return false;
}

bool ListFileReader::readAll(const std::string& path, std::vector<std::string>& entries, std::string* error) {
  ListFileReader reader;
  if (!reader.open(path)) {
    if (error != nullptr) *error = reader.errorText();
    return false;
  }
  std::string entry;
  while (reader.next(entry)) entries.push_back(entry);
  if (error != nullptr) *error = reader.errorText();
  return !reader.failed();
}

}  // namespace zarezodud
