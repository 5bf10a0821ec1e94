// Fuzzes the list-file reader over arbitrary file content. Every entry it yields must be
// trimmed, non-empty, not a comment, free of NUL and line ends, and no longer than a line may
// be; a read that fails must say so in its error text.
#include <string>
#include <vector>

#include "base/text_trim.h"
#include "engine/list_file_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = zfuzz::writeScratchFile("scripts.lst", data, size);
  std::vector<std::string> entries;
  std::string error;
  const bool ok = zarezodud::ListFileReader::readAll(path, entries, &error);
  ZFUZZ_CHECK(ok == error.empty());
  for (const std::string& entry : entries) {
    ZFUZZ_CHECK(!entry.empty());
    ZFUZZ_CHECK(entry[0] != '#');
    ZFUZZ_CHECK(entry == zarezodud::trimCopy(entry));
    ZFUZZ_CHECK(entry.find('\0') == std::string::npos);
    ZFUZZ_CHECK(entry.find('\n') == std::string::npos);
    ZFUZZ_CHECK(entry.size() <= zarezodud::ListFileReader::kMaxLineLength);
  }
  return 0;
}
