// Fuzzes the way a script file becomes the text that is sent: decoding arbitrary bytes either
// fails at an offset inside them or gives valid UTF-8 (or the bytes themselves, for a file that
// is already UTF-8); the lexical scan reports lines and offsets inside the text; the sqlcmd
// expansion of the text (includes refused) keeps one origin per line, each inside the file.
#include <algorithm>
#include <string>
#include <string_view>

#include "db/sqlcmd_expansion.h"
#include "fuzz_support.h"
#include "platform/text/batch_splitter.h"
#include "platform/text/script_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string text;
  zarezodud::ScriptEncoding encoding = zarezodud::ScriptEncoding::kUtf8;
  zarezodud::DecodeError error;
  // Odd sizes also try a code page, so that the iconv road is fuzzed too.
  const std::string codePage = size % 2 == 1 ? "1252" : "";
  if (!zarezodud::decodeScriptBytes(bytes, codePage, text, encoding, error)) {
    ZFUZZ_CHECK(error.byteOffset <= size);
    ZFUZZ_CHECK(error.line >= 1);
    ZFUZZ_CHECK(text.empty());
    return 0;
  }
  ZFUZZ_CHECK(zarezodud::findInvalidUtf8(text) == std::string_view::npos);
  if (encoding == zarezodud::ScriptEncoding::kUtf8) ZFUZZ_CHECK(text == bytes);

  const zarezodud::ScriptScan scan = zarezodud::scanSqlScript(text);
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
  for (const auto& line : scan.invalidSeparators) {
    ZFUZZ_CHECK(line.line >= 1 && line.line <= lines);
    ZFUZZ_CHECK(line.offset + line.length <= text.size());
  }
  for (const std::size_t at : scan.variableReferences) ZFUZZ_CHECK(at + 1 < text.size() && text[at] == '$');
  if (scan.unterminated != zarezodud::OpenConstruct::kNone) ZFUZZ_CHECK(scan.unterminatedAt < text.size());

  zarezodud::ScriptSettings settings;
  settings.sqlcmdMode = true;
  settings.variables = {{"v", "value"}};
  const zarezodud::ScriptLoader refuse = [](const std::string&, std::string&, std::string& why) {
    why = "no includes while fuzzing";
    return false;
  };
  zarezodud::ScriptText out;
  zarezodud::ExpansionError expansionError;
  if (zarezodud::expandSqlcmdScript("/fuzz/s.sql", text, settings, refuse, out, expansionError)) {
    const auto outLines = static_cast<std::size_t>(std::count(out.text.begin(), out.text.end(), '\n'));
    ZFUZZ_CHECK(out.origins.size() >= outLines && out.origins.size() <= outLines + 1);
    for (const auto& origin : out.origins)
      ZFUZZ_CHECK(origin.file == 0 && origin.line >= 1 && origin.line <= lines);
  } else {
    ZFUZZ_CHECK(expansionError.line >= 1 && expansionError.line <= lines);
  }
  return 0;
}
