#include "db/script_preparation.h"

#include "db/db_queries.h"
#include "db/sqlcmd_expansion.h"
#include "platform/text/batch_splitter.h"
#include "platform/fs/regular_file.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace zarezodud {
namespace {

std::string trimmedLine(std::string_view text) {
  const char* blanks = " \t\r\v\f";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return std::string();
  return std::string(text.substr(first, text.find_last_not_of(blanks) + 1 - first));
}

}  // namespace

bool loadScriptFile(const std::string& path, const std::string& codePage, std::string& text,
                    ScriptEncoding* encoding, std::string& error) {
  std::string bytes;
  std::string reason;
  if (readRegularFile(path, bytes, nullptr, reason) != FileReadResult::kRead) {
    error = "Cannot open file [" + path + "]. " + reason;
    return false;
  }
  ScriptEncoding found = ScriptEncoding::kUtf8;
  DecodeError decodeError;
  if (!decodeScriptBytes(bytes, codePage, text, found, decodeError)) {
    error = describeDecodeError(path, decodeError);
    return false;
  }
  if (encoding != nullptr) *encoding = found;
  return true;
}

std::string invalidSeparatorMessage(const ScriptText& script, int line, const std::string& lineText) {
  const LineOrigin origin = script.originOf(line);
  return "Script [" + script.fileOf(origin) + "] line " + std::to_string(origin.line) + ": [" +
         trimmedLine(lineText) + "] is not a valid batch separator.";
}

bool prepareScript(const std::string& path, const std::string& bytes, const ScriptSettings& settings,
                   ScriptText& out, std::string& error) {
  std::string text;
  ScriptEncoding encoding = ScriptEncoding::kUtf8;
  DecodeError decodeError;
  if (!decodeScriptBytes(bytes, settings.codePage, text, encoding, decodeError)) {
    error = describeDecodeError(path, decodeError);
    return false;
  }
  if (settings.sqlcmdMode) {
    const ScriptLoader load = [&settings](const std::string& file, std::string& content,
                                          std::string& loadError) {
      return loadScriptFile(file, settings.codePage, content, nullptr, loadError);
    };
    ExpansionError expansionError;
    if (!expandSqlcmdScript(path, text, settings, load, out, expansionError)) {
      error = expansionError.message();
      return false;
    }
  } else {
    out = ScriptText();
    out.files.push_back(path);
    out.text = std::move(text);
  }
  const ScriptScan scan = scanSqlScript(out.text);
  if (!scan.invalidSeparators.empty()) {
    const ScriptLine& bad = scan.invalidSeparators.front();
    error = invalidSeparatorMessage(out, bad.line, std::string(bad.textIn(out.text)));
    return false;
  }
  return true;
}

}  // namespace zarezodud

bool DBQueries::prepareScriptText(const std::string& path, std::string& text) {
  zarezodud::ScriptText prepared;
  std::string error;
  if (!zarezodud::prepareScript(path, text, m_scriptSettings, prepared, error)) {
    m_lastError = error;
    return false;
  }
  text = std::move(prepared.text);
  prepared.text.clear();
  m_preparedScript = std::make_unique<zarezodud::ScriptText>(std::move(prepared));
  return true;
}

void DBQueries::addFailureLocation(const RKSimpleDBConnObject* connection, int preambleLines) {
  if (connection == nullptr || !m_preparedScript || m_preparedScript->origins.empty()) return;
  const int line = connection->getLastErrorLine() - preambleLines;
  if (line < 1) return;
  const zarezodud::LineOrigin origin = m_preparedScript->originOf(line);
  m_lastError +=
      " The error is at [" + m_preparedScript->fileOf(origin) + "] line " + std::to_string(origin.line) + ".";
}
