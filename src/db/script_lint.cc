#include "db/script_lint.h"

#include <algorithm>
#include <string_view>

#include "db/sqlcmd_expansion.h"
#include "platform/text/batch_splitter.h"
#include "platform/fs/regular_file.h"
#include "platform/text/script_decoder.h"

namespace zarezodud {
namespace {

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// 1 + the characters (UTF-8 sequences) between the start of the line holding offset and offset.
int columnIn(std::string_view text, std::size_t offset) {
  const std::size_t lineStart = offset == 0 ? 0 : text.rfind('\n', offset - 1);
  const std::size_t from = lineStart == std::string_view::npos ? 0 : (offset == 0 ? 0 : lineStart + 1);
  int column = 1;
  for (std::size_t i = from; i < offset && i < text.size(); ++i) {
    if (!isContinuation(text[i])) ++column;
  }
  return column;
}

int lineIn(std::string_view text, std::size_t offset) {
  return 1 +
         static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// The column of a decoding problem at byteOffset of the stored file.
int decodeErrorColumn(std::string_view bytes, ScriptEncoding encoding, std::size_t byteOffset) {
  if (encoding == ScriptEncoding::kUtf16Le || encoding == ScriptEncoding::kUtf16Be) {
    const bool bigEndian = encoding == ScriptEncoding::kUtf16Be;
    int column = 1;
    for (std::size_t at = byteOffset; at >= 4 && at - 2 >= 2; at -= 2) {
      const std::size_t unit = at - 2;
      const char low = bigEndian ? bytes[unit + 1] : bytes[unit];
      const char high = bigEndian ? bytes[unit] : bytes[unit + 1];
      if (low == '\n' && high == '\0') break;
      ++column;
    }
    return column;
  }
  return columnIn(bytes, std::min(byteOffset, bytes.size()));
}

std::string shown(std::string_view line) {
  const char* blanks = " \t\r\v\f";
  const std::size_t first = line.find_first_not_of(blanks);
  if (first == std::string_view::npos) return std::string();
  std::string text(line.substr(first, line.find_last_not_of(blanks) + 1 - first));
  if (text.size() > 80) text.replace(77, std::string::npos, "...");
  return text;
}

class ScriptLinter {
 public:
  ScriptLinter(const ScriptSettings& settings, std::vector<LintFinding>& findings)
      : m_settings(settings), m_findings(findings) {}

  void run(const std::string& path) {
    const std::size_t first = m_findings.size();
    std::string text;
    if (!load(path, text)) return finish(first);
    if (m_settings.sqlcmdMode) {
      const ScriptLoader loader = [this](const std::string& file, std::string& content, std::string& error) {
        if (load(file, content)) return true;
        error = "see the findings for that file";
        return false;
      };
      ScriptText expanded;
      ExpansionError error;
      if (expandSqlcmdScript(path, text, m_settings, loader, expanded, error)) {
        checkText(expanded, false);
      } else {
        add(error.file, error.line, 1, LintSeverity::kError, error.what);
        checkText(plain(path, std::move(text)), false);
      }
    } else {
      checkText(plain(path, std::move(text)), true);
    }
    finish(first);
  }

 private:
  static ScriptText plain(const std::string& path, std::string text) {
    ScriptText script;
    script.files.push_back(path);
    script.text = std::move(text);
    return script;
  }

  void add(const std::string& file, int line, int column, LintSeverity severity, std::string message) {
    m_findings.push_back(LintFinding{file, line, column, severity, std::move(message)});
  }

  // Reads and decodes one file, reporting what the decoding does and the per-file facts (NUL,
  // line ends). False when the file cannot be used.
  bool load(const std::string& path, std::string& text) {
    if (std::find(m_files.begin(), m_files.end(), path) == m_files.end()) m_files.push_back(path);
    std::string bytes;
    std::string reason;
    if (readRegularFile(path, bytes, nullptr, reason) != FileReadResult::kRead) {
      add(path, 0, 0, LintSeverity::kError, "cannot be read: " + reason);
      return false;
    }
    ScriptEncoding encoding = ScriptEncoding::kUtf8;
    DecodeError error;
    if (!decodeScriptBytes(bytes, m_settings.codePage, text, encoding, error)) {
      add(path, error.line, decodeErrorColumn(bytes, encoding, error.byteOffset), LintSeverity::kError,
          "byte offset " + std::to_string(error.byteOffset) + ": " + error.reason +
              "; nothing of the script is sent");
      return false;
    }
    switch (encoding) {
      case ScriptEncoding::kUtf8:
        break;
      case ScriptEncoding::kUtf8WithBom:
        add(path, 1, 1, LintSeverity::kInfo, "UTF-8 byte-order mark: it is dropped before the text is sent");
        break;
      case ScriptEncoding::kUtf16Le:
      case ScriptEncoding::kUtf16Be:
        add(path, 1, 1, LintSeverity::kInfo,
            std::string(describeEncoding(encoding)) +
                " with byte-order mark: decoded to UTF-8 before it is sent");
        break;
      case ScriptEncoding::kCodePage:
        add(path, 1, 1, LintSeverity::kInfo,
            "not UTF-8: converted from code page [" + m_settings.codePage + "] before it is sent");
        break;
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
      std::string message = "NUL character: the text sent stops here, nothing after it reaches the server";
      if (nul <= 1 && encoding == ScriptEncoding::kUtf8)
        message += " (a UTF-16 file without byte-order mark?)";
      add(path, lineIn(text, nul), columnIn(text, nul), LintSeverity::kError, message);
    }
    checkLineEnds(path, text);
    return true;
  }

  void checkLineEnds(const std::string& path, std::string_view text) {
    int crlf = 0;
    int lf = 0;
    int firstLine[2] = {0, 0};  // the first line ending with CR LF, with LF alone
    int line = 1;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
      const bool withCr = at > 0 && text[at - 1] == '\r';
      int& count = withCr ? crlf : lf;
      if (count++ == 0) firstLine[withCr ? 0 : 1] = line;
      ++line;
    }
    if (crlf == 0 || lf == 0) return;
    // Point at the first line that breaks the habit of the file's first line.
    const int at = firstLine[0] < firstLine[1] ? firstLine[1] : firstLine[0];
    add(path, at, 1, LintSeverity::kInfo,
        "mixed line ends: " + std::to_string(crlf) + " line(s) end with CR LF, " + std::to_string(lf) +
            " with LF alone");
  }

  void addAt(const ScriptText& script, std::size_t offset, LintSeverity severity, std::string message) {
    const LineOrigin origin = script.originOf(lineIn(script.text, offset));
    add(script.fileOf(origin), origin.line, columnIn(script.text, offset), severity, std::move(message));
  }

  void checkText(const ScriptText& script, bool sqlcmdModeOff) {
    const std::string_view text = script.text;
    const ScriptScan scan = scanSqlScript(text);
    for (const ScriptLine& line : scan.invalidSeparators) {
      const std::string_view body = line.textIn(text);
      const std::size_t go = body.find_first_not_of(" \t\v\f\r");
      addAt(script, line.offset + (go == std::string_view::npos ? 0 : go), LintSeverity::kError,
            "[" + shown(body) +
                "] is not a valid batch separator (GO, optionally a positive repeat count, optionally a -- "
                "comment); the script would fail before anything of it is sent");
    }
    for (const HiddenSeparator& hidden : scan.hiddenSeparators) {
      const LineOrigin opened = script.originOf(hidden.openedLine);
      addAt(script, hidden.line.offset, LintSeverity::kWarning,
            "[" + shown(hidden.line.textIn(text)) + "] stands inside the " +
                describeConstruct(hidden.inside) + " opened at line " + std::to_string(opened.line) +
                ", column " + std::to_string(columnIn(text, hidden.openedAt)) +
                ": it does not split the batch");
    }
    if (scan.unterminated != OpenConstruct::kNone) {
      addAt(script, scan.unterminatedAt, LintSeverity::kError,
            std::string("unterminated ") + describeConstruct(scan.unterminated) +
                ": it runs to the end of the script, so the batch will not parse");
    }
    if (sqlcmdModeOff) {
      for (const ScriptLine& line : scan.commandLines) {
        const std::string_view body = line.textIn(text);
        const std::size_t first = body.find_first_not_of(" \t\v\f\r");
        addAt(
            script, line.offset + first, LintSeverity::kWarning,
            "sqlcmd command [" + shown(body) +
                "] is sent to the server as it is: the sqlcmd variable mode is off (turn it on with --var or "
                "SqlcmdVariables=)");
      }
      for (const std::size_t at : scan.variableReferences) {
        const std::size_t close = text.find_first_of(")\n", at);
        const std::string reference(text.substr(at, close == std::string_view::npos || text[close] != ')'
                                                        ? std::min<std::size_t>(2, text.size() - at)
                                                        : close - at + 1));
        addAt(
            script, at, LintSeverity::kWarning,
            "[" + reference +
                "] is sent to the server as it is: the sqlcmd variable mode is off (turn it on with --var or "
                "SqlcmdVariables=)");
      }
    }
    if (scan.batches.empty() && scan.invalidSeparators.empty() && scan.unterminated == OpenConstruct::kNone) {
      add(script.files.front(), 1, 1, LintSeverity::kWarning,
          "nothing is sent: the script holds no statement (it is empty, or only blanks and comments, after "
          "decoding)");
    }
  }

  // Orders the findings added since first by file (as first read) and position.
  void finish(std::size_t first) {
    const auto fileRank = [this](const std::string& file) {
      return std::find(m_files.begin(), m_files.end(), file) - m_files.begin();
    };
    std::stable_sort(m_findings.begin() + static_cast<std::ptrdiff_t>(first), m_findings.end(),
                     [&](const LintFinding& a, const LintFinding& b) {
                       const auto ra = fileRank(a.file);
                       const auto rb = fileRank(b.file);
                       if (ra != rb) return ra < rb;
                       if (a.line != b.line) return a.line < b.line;
                       return a.column < b.column;
                     });
  }

  const ScriptSettings& m_settings;
  std::vector<LintFinding>& m_findings;
  std::vector<std::string> m_files;  // every file read for this script, in order
};

}  // namespace

const char* lintSeverityName(LintSeverity severity) {
  switch (severity) {
    case LintSeverity::kInfo:
      return "info";
    case LintSeverity::kWarning:
      return "warning";
    case LintSeverity::kError:
      return "error";
  }
  return "info";
}

void lintScript(const std::string& path, const ScriptSettings& settings, std::vector<LintFinding>& findings) {
  ScriptLinter(settings, findings).run(path);
}

}  // namespace zarezodud
