// Fuzzes the scanner of script output files: the marked-message list and the script result
// record built from the same arbitrary file. Found messages must carry a known marker index.
#include <string>
#include <vector>

#include "log/result_messages.h"
#include "fuzz_support.h"
#include "log/log_scanner.h"
#include "log/utility_logger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = zfuzz::writeScratchFile("tempOutputFile.txt", data, size);
  std::vector<LOGINFO> entries;
  const bool found = UtilityLogger::GetErrorListS(path, entries);
  ZFUZZ_CHECK(found == (size != 0));
  for (const LOGINFO& entry : entries) {
    ZFUZZ_CHECK(entry.type >= 0 && entry.type < zarezodud::kInfoTypeCount);
  }

  RKZARezodud::Script script;
  UtilityLogger::GetXMLMsgFromFile(path, script);
  // The record the scanner fills must survive its own XML form.
  RKZARezodud::Script copy;
  std::string error;
  ZFUZZ_CHECK(copy.unserialize(script.serialize(), &error));
  ZFUZZ_CHECK(copy.serialize() == script.serialize());
  return 0;
}
