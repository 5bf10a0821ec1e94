// Fuzzes the batch splitter: the batches of an arbitrary script must be slices inside it, in
// order, not overlapping, with line numbers that count the script's lines and positive repeat
// counts.
#include <algorithm>
#include <string_view>

#include "fuzz_support.h"
#include "platform/text/batch_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  const auto batches = zarezodud::splitSqlBatches(script);
  const auto lines = static_cast<int>(std::count(script.begin(), script.end(), '\n')) + 1;
  size_t previousEnd = 0;
  int previousLine = 0;
  for (const auto& batch : batches) {
    ZFUZZ_CHECK(batch.offset >= previousEnd);
    ZFUZZ_CHECK(batch.offset <= script.size() && batch.length <= script.size() - batch.offset);
    ZFUZZ_CHECK(batch.length > 0);
    ZFUZZ_CHECK(batch.startLine > previousLine && batch.startLine <= lines);
    ZFUZZ_CHECK(batch.repeatCount >= 1);
    // The start line is the number of line ends before the slice, plus one.
    const auto before = script.substr(0, batch.offset);
    ZFUZZ_CHECK(batch.startLine == static_cast<int>(std::count(before.begin(), before.end(), '\n')) + 1);
    previousEnd = batch.offset + batch.length;
    previousLine = batch.startLine;
  }
  int repeat = 0;
  const size_t firstEnd = std::min(script.find('\n'), script.size());
  if (zarezodud::parseSeparatorLine(script.substr(0, firstEnd), repeat)) ZFUZZ_CHECK(repeat >= 1);
  return 0;
}
