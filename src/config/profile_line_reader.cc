#include "config/profile_line_reader.h"

#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

#include "config/profile_store.h"
#include "base/text_trim.h"

namespace zarezodud {

ProfileLineReader::~ProfileLineReader() { free(buffer_); }

int ProfileLineReader::next() {
  line_ = std::string_view();
  heldNul_ = false;
  const ssize_t got = getline(&buffer_, &capacity_, file_);
  if (got < 0) return feof(file_) && !ferror(file_) ? PROFILE_END_OF_FILE : PROFILE_READ_ERROR;
  ++lineNumber_;
  size_t length = static_cast<size_t>(got);
  if (memchr(buffer_, '\0', length) != nullptr) {
    heldNul_ = true;
    return PROFILE_READ_ERROR;
  }
  // A UTF-8 byte-order mark, as Windows editors write it, is not part of the first line.
  const char* begin = buffer_;
  if (lineNumber_ == 1 && length >= 3 && memcmp(buffer_, "\xEF\xBB\xBF", 3) == 0) {
    begin += 3;
    length -= 3;
  }
  line_ = trimView(std::string_view(begin, length));
  return PROFILE_SUCCESS;
}

std::string_view trimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isTrimSpace(text[begin])) ++begin;
  while (end > begin && isTrimSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string_view entryKey(std::string_view line) {
  size_t eq = line.rfind('=');
  return eq == std::string_view::npos ? trimView(line) : trimView(line.substr(0, eq));
}

std::string_view entryValue(std::string_view line) {
  size_t eq = line.rfind('=');
  return eq == std::string_view::npos ? std::string_view() : trimView(line.substr(eq + 1));
}

bool copyFitting(std::string_view text, char* out, size_t size) {
  if (text.size() >= size) return false;
  if (!text.empty()) memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return true;
}

int writeProfileLine(FILE* file, std::string_view text) {
  if (!text.empty() && fwrite(text.data(), 1, text.size(), file) != text.size()) return PROFILE_WRITE_ERROR;
  if (fputc('\n', file) == EOF) return PROFILE_WRITE_ERROR;
  return PROFILE_SUCCESS;
}

int findSectionHeader(ProfileLineReader& reader, std::string_view header) {
  for (;;) {
    int rc = reader.next();
    if (rc == PROFILE_END_OF_FILE) return PROFILE_NO_SECTION;
    if (rc != PROFILE_SUCCESS) return rc;
    if (reader.fits() && equalsIgnoreCase(reader.line(), header)) return PROFILE_SUCCESS;
  }
}

bool formatSectionHeader(const char* section, char (&out)[kProfileLineBuffer]) {
  size_t length = strlen(section);
  if (length > PROFILE_MAX_SECTION) return false;
  out[0] = '[';
  memcpy(out + 1, section, length);
  out[length + 1] = ']';
  out[length + 2] = '\0';
  return true;
}

}  // namespace zarezodud
