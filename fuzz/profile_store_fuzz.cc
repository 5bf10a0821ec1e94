// Fuzzes the profile-file readers and writer: arbitrary file content with arbitrary section,
// key, default, value and buffer sizes. Output buffers are sized exactly, so a write past
// their end is caught by AddressSanitizer; results are checked against the documented
// contracts, and a write must leave no temporary file behind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/profile_store.h"
#include "fuzz_support.h"

namespace {

bool isPlainWord(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (!std::isalnum(c) && c != '_') return false;
  }
  return true;
}

// True when a line starts with '[' and holds '=' ("[S]=x"). The writer finds a section by the
// key part of a line, the readers by the whole line, so such a line is a header to the writer
// only and a value written under it is not read back.
bool hasBracketedEntry(const std::string& content) {
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const size_t first = content.find_first_not_of(" \t\r\f\v", start);
    if (first < end && content[first] == '[' && content.find('=', first) < end) return true;
    start = end + 1;
  }
  return false;
}

size_t countScratchFiles() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(zfuzz::scratchDir())) {
    (void)entry;
    ++count;
  }
  return count;
}

void checkLines(const std::string& content) {
  size_t start = 0;
  while (start <= content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    line = line.c_str();  // the C functions see the text up to the first NUL

    char key[64];
    char value[16];
    const int parsed = ParseProfileEntry(line.c_str(), key, sizeof key, value, sizeof value);
    if (parsed == PROFILE_SUCCESS) {
      ZFUZZ_CHECK(std::strlen(key) < sizeof key && std::strlen(value) < sizeof value);
    }
    ZFUZZ_CHECK(ParseProfileEntry(line.c_str(), nullptr, 0, nullptr, 0) != PROFILE_BUFFER_SMALL);

    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    ZFUZZ_CHECK(TruncComment(text.data()) == PROFILE_SUCCESS);
    ZFUZZ_CHECK(std::strlen(text.data()) <= line.size());
    ZFUZZ_CHECK(TruncWhiteSpace(text.data()) == PROFILE_SUCCESS);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(300);
  const std::string key = input.ConsumeRandomLengthString(300);
  const std::string fallback = input.ConsumeRandomLengthString(40);
  const std::string value = input.ConsumeRandomLengthString(300);
  const size_t outSize = input.ConsumeIntegralInRange<size_t>(0, 300);
  const std::string content = input.ConsumeRemainingBytesAsString();
  const std::string path = zfuzz::writeScratchFile("profile.ini", content);

  std::vector<char> out(outSize);
  char* outData = outSize == 0 ? nullptr : out.data();
  int result = GetProfileString(section.c_str(), key.c_str(), fallback.c_str(), outData, outSize, path.c_str());
  if (result == PROFILE_SUCCESS) ZFUZZ_CHECK(std::memchr(out.data(), '\0', outSize) != nullptr);
  result = GetProfileEntry(section.c_str(), key.c_str(), outData, outSize, path.c_str());
  if (result == PROFILE_SUCCESS) ZFUZZ_CHECK(std::memchr(out.data(), '\0', outSize) != nullptr);

  const int number = GetProfileLong(section.c_str(), key.c_str(), 7, path.c_str());
  ZFUZZ_CHECK(number >= PROFILE_CANNOT_REPLACE);

  char flag = 2;
  result = GetProfileBoolean(section.c_str(), key.c_str(), 2, &flag, path.c_str());
  if (result == PROFILE_SUCCESS) ZFUZZ_CHECK(flag == 0 || flag == 1 || flag == 2);
  else ZFUZZ_CHECK(flag == 2);

  checkLines(content);

  // A write on the copy: success or failure, no temporary file may be left beside it.
  const size_t filesBefore = countScratchFiles();
  result = SetProfileString(section.c_str(), key.c_str(), value.c_str(), path.c_str());
  ZFUZZ_CHECK(countScratchFiles() == filesBefore);
  if (result == PROFILE_SUCCESS && isPlainWord(section) && isPlainWord(key) && isPlainWord(value) &&
      !hasBracketedEntry(content)) {
    char back[300];
    ZFUZZ_CHECK(GetProfileString(section.c_str(), key.c_str(), "", back, sizeof back, path.c_str()) ==
                PROFILE_SUCCESS);
    ZFUZZ_CHECK(value == back);
  }
  return 0;
}
