#include "log/utility_logger.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "platform/fs/shared_directory.h"

namespace {

// The utility log's path: at most kMaxLogFileName characters, "Utility.log" until set.
constexpr std::size_t kMaxLogFileName = 255;
char m_strLogFileName[kMaxLogFileName + 1] = "Utility.log";
std::mutex logFileNameMutex;

// "MM/DD HH:MM:SS " from the local time.
std::string timeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d:%02d ", local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// The file at path opened with open(2) flags as a stream of the given fopen mode; in a
// directory other users can write, a symbolic link is refused (platform/shared_directory.h).
// Null with why set on failure.
std::FILE* openStream(const std::string& path, int flags, const char* mode, std::string& why) {
  const int fd = zarezodud::openRefusingPlantedLinks(path, flags, 0644, why);
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, mode);
  if (stream == nullptr) {
    why = "cannot open [" + path + "] as a stream";
    ::close(fd);
  }
  return stream;
}

// Appends one line: time stamp, lead-in, message, newline. The message is written with
// fwrite, so nothing in it is interpreted and embedded NUL bytes survive.
int appendLine(const std::string& path, const char* leadIn, const std::string& message) {
  std::string why;
  std::FILE* file = openStream(path, O_WRONLY | O_APPEND | O_CREAT, "a", why);
  if (file == nullptr) {
    std::printf("Failed to open the log file [%s].\n", path.c_str());
    if (why.find("symbolic link") != std::string::npos) std::printf("%s\n", why.c_str());
    std::fflush(stdout);
    return -1;
  }
  std::string line = timeStamp();
  line += leadIn;
  line += message;
  line += '\n';
  // A full disk or a file-size limit must not pass as a logged line, nor leave half a line
  // that the next line would be glued to: on a short write the file is cut back to its
  // previous end and the failure reported.
  long before = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) before = std::ftell(file);
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (written && flushed && closed) return 0;
  if (before >= 0) {
    std::error_code ignored;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(before), ignored);
  }
  std::printf("Failed to write the log file [%s].\n", path.c_str());
  std::fflush(stdout);
  return -1;
}

// prefix + separator + message, leaving out the prefix and separator when the prefix is null
// or empty, and the message when it is empty.
std::string joinPrefix(const char* prefix, const char* separator, const std::string& message) {
  if (prefix == nullptr || *prefix == '\0') return message;
  std::string text = prefix;
  text += separator;
  text += message;
  return text;
}

std::string orEmpty(const char* text) { return text == nullptr ? std::string() : std::string(text); }

constexpr const char* kUtilityLeadIn = "\t";
constexpr const char* kFileLeadIn = "\t## ";

// Reads lines of any length (NUL bytes included) with getline; the buffer is freed with
// the reader.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file) {}
  ~LineReader() { std::free(buffer_); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its newline; false at end of file.
  bool next(std::string& line) {
    const ssize_t length = ::getline(&buffer_, &capacity_, file_);
    if (length < 0) return false;
    std::size_t size = static_cast<std::size_t>(length);
    if (size > 0 && buffer_[size - 1] == '\n') --size;
    line.assign(buffer_, size);
    return true;
  }

 private:
  std::FILE* file_;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
};

}  // namespace

UtilityLogger::~UtilityLogger() = default;

int UtilityLogger::LogLine(const std::string& message) {
  return appendLine(GetLogFileName(), kUtilityLeadIn, message);
}

int UtilityLogger::LogLine(const char* message) { return LogLine(orEmpty(message)); }

int UtilityLogger::LogLine(const char* prefix, const std::string& message) {
  return LogLine(joinPrefix(prefix, " - ", message));
}

int UtilityLogger::LogLine(const char* prefix, const char* message) {
  return LogLine(prefix, orEmpty(message));
}

int UtilityLogger::LogToFile(const std::string& message, const std::string& filePath) {
  return appendLine(filePath, kFileLeadIn, message);
}

int UtilityLogger::LogToFile(const char* message, const std::string& filePath) {
  return LogToFile(orEmpty(message), filePath);
}

int UtilityLogger::LogToFile(const char* prefix, const std::string& message, const std::string& filePath) {
  return LogToFile(joinPrefix(prefix, " ## ", message), filePath);
}

int UtilityLogger::LogToFile(const char* prefix, const char* message, const std::string& filePath) {
  return LogToFile(prefix, orEmpty(message), filePath);
}

int UtilityLogger::SetLogFileName(const char* name) {
  if (name == nullptr) return 0;
  std::lock_guard<std::mutex> lock(logFileNameMutex);
  std::strncpy(m_strLogFileName, name, kMaxLogFileName);
  m_strLogFileName[kMaxLogFileName] = '\0';
  return 0;
}

std::string UtilityLogger::GetLogFileName() {
  std::lock_guard<std::mutex> lock(logFileNameMutex);
  return m_strLogFileName;
}

void UtilityLogger::printoutContents(const char* /*ignored*/, const std::string& source,
                                     const std::string& target) {
  std::string why;
  std::FILE* in = openStream(source, O_RDONLY | O_NONBLOCK, "r", why);
  if (in == nullptr) {
    LogLine("Failed to open the file [" + source + "].");
    return;
  }
  LineReader reader(in);
  std::string line;
  while (reader.next(line)) LogToFile(line, target);
  std::fclose(in);
}

void UtilityLogger::printoutContentsWithoutTS(const std::string& source, const std::string& target) {
  std::string why;
  std::FILE* in = openStream(source, O_RDONLY | O_NONBLOCK, "r", why);
  if (in == nullptr) {
    LogLine("Failed to open the file [" + source + "].");
    return;
  }
  std::FILE* out = openStream(target, O_WRONLY | O_APPEND | O_CREAT, "a", why);
  if (out == nullptr) {
    std::fclose(in);
    LogLine("Failed to open the file [" + target + "].");
    return;
  }
  LineReader reader(in);
  std::string line;
  bool written = true;
  while (reader.next(line)) {
    line += '\n';
    written = std::fwrite(line.data(), 1, line.size(), out) == line.size() && written;
  }
  written = std::fclose(out) == 0 && written;
  std::fclose(in);
  // A full disk must not pass for a copied output.
  if (!written) {
    std::printf("Failed to write the log file [%s].\n", target.c_str());
    std::fflush(stdout);
    LogLine("Failed to write the file [" + target + "].");
  }
}
