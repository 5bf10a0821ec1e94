// Reads the lines of a profile file one whole line at a time, however long, and trims each of
// leading and trailing white space. Lines are read by their length, not up to their first NUL:
// a line holding a NUL byte is reported as a read error, so that it is neither cut short nor
// merged with the line after it (and a write never rewrites such a file). A UTF-8 byte-order
// mark at the start of the file is skipped.
// Also the helpers that every scan shares: splitting an entry at its last '=' and writing a
// line. Not thread-safe: one reader per open file, used by one thread.
#ifndef ZAREZODUD_CONFIG_PROFILE_LINE_READER_H
#define ZAREZODUD_CONFIG_PROFILE_LINE_READER_H

#include <stddef.h>
#include <stdio.h>

#include <string>
#include <string_view>

namespace zarezodud {

// Size of the fixed line buffers of the store: a line of up to 255 characters and its NUL.
constexpr size_t kProfileLineBuffer = 256;

class ProfileLineReader {
 public:
  // file stays owned by the caller and must outlive the reader.
  explicit ProfileLineReader(FILE* file) : file_(file) {}
  ~ProfileLineReader();
  ProfileLineReader(const ProfileLineReader&) = delete;
  ProfileLineReader& operator=(const ProfileLineReader&) = delete;

  // Reads the next line. Returns 0 with the trimmed line available through line(); -1 when
  // no line is left; -8 on a read error or when the line holds a NUL byte (heldNul() tells).
  int next();

  // Number of lines read so far, the current one included (1 for the first line).
  size_t lineNumber() const { return lineNumber_; }
  // True when the last next() stopped at a line holding a NUL byte.
  bool heldNul() const { return heldNul_; }

  // The trimmed text of the last line read (without a byte-order mark on the first line);
  // valid until the next call of next().
  std::string_view line() const { return line_; }
  // True when the trimmed line fits a kProfileLineBuffer buffer (255 characters or fewer).
  // Longer lines never match a header or a key.
  bool fits() const { return line_.size() < kProfileLineBuffer; }
  // True when the line starts a new section (its first character is '[').
  bool startsSection() const { return !line_.empty() && line_.front() == '['; }

 private:
  FILE* file_;
  char* buffer_ = nullptr;  // grown by getline
  size_t capacity_ = 0;
  size_t lineNumber_ = 0;
  bool heldNul_ = false;
  std::string_view line_;
};

// The trimmed key part of an entry line: the text before its last '=', or the whole line
// without '='.
std::string_view entryKey(std::string_view line);
// The trimmed value part of an entry line: the text after its last '=', or "" without '='.
std::string_view entryValue(std::string_view line);

// The text without leading and trailing white space (a view into the same characters).
std::string_view trimView(std::string_view text);

// Copies text and a NUL to out when they fit size bytes; false (out untouched) otherwise.
bool copyFitting(std::string_view text, char* out, size_t size);

// Writes text and a newline. Returns 0 or -9.
int writeProfileLine(FILE* file, std::string_view text);

// Reads lines until the header "[section]" (whole trimmed line, ignoring case). Returns 0 with
// the reader just past the header, -2 at end of file, -8 on a read error.
int findSectionHeader(ProfileLineReader& reader, std::string_view header);

// Formats "[section]" into out. Returns false when section is longer than 252 characters.
bool formatSectionHeader(const char* section, char (&out)[kProfileLineBuffer]);

}  // namespace zarezodud

#endif
