// Fuzzes the readers of the media description files: every line of the input through the text
// form's line parser, and the whole input through the XML form's reader.
#include <string>

#include "engine/media_info.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    int32_t servicePack = -1;
    int64_t recutTime = -1;
    if (zarezodud::parseMediaTextLine(line, servicePack, recutTime)) {
      ZFUZZ_CHECK(line.find("11.0.0") != std::string::npos);
    }
  }

  zarezodud::MediaMap media;
  std::string error;
  const bool ok = zarezodud::parseMediaXml(text, 11, media, error);
  ZFUZZ_CHECK(ok || !error.empty());
  int64_t recut = 0;
  if (!media.empty()) ZFUZZ_CHECK(zarezodud::chooseRecutTime(media, media.begin()->first, recut));
  return 0;
}
