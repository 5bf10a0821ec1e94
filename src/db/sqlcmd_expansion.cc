#include "db/sqlcmd_expansion.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/text/batch_splitter.h"

namespace zarezodud {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string trimmed(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

// The identity of a file for the cycle check: its canonical path where it can be had.
std::string identityOf(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? std::filesystem::path(path).lexically_normal().string() : canonical.string();
}

class Expander {
 public:
  Expander(const ScriptSettings& settings, const ScriptLoader& load, ScriptText& out)
      : m_load(load), m_out(out) {
    for (const auto& variable : settings.variables) m_variables[upper(variable.first)] = variable.second;
  }

  bool expandFile(const std::string& path, const std::string& text, int fileIndex, int depth,
                  ExpansionError& error) {
    m_chain.push_back(identityOf(path));
    m_chainNames.push_back(path);
    const bool ok = expandLines(path, text, fileIndex, depth, error);
    m_chain.pop_back();
    m_chainNames.pop_back();
    return ok;
  }

 private:
  bool fail(const std::string& path, int line, const std::string& what, ExpansionError& error) {
    error = ExpansionError{path, line, what};
    return false;
  }

  void emit(std::string_view content, bool lineEnd, const LineOrigin& origin) {
    m_out.origins.push_back(origin);
    m_out.text.append(content);
    if (lineEnd) m_out.text += '\n';
  }

  // Replaces every $(NAME) of line; false with error on an undefined or malformed reference.
  bool substitute(std::string_view line, const std::string& path, int lineNo, std::string& result,
                  ExpansionError& error) {
    result.clear();
    std::size_t from = 0;
    for (;;) {
      const std::size_t at = line.find("$(", from);
      if (at == std::string_view::npos) break;
      result.append(line.substr(from, at - from));
      const std::size_t close = line.find(')', at + 2);
      const std::string name(close == std::string_view::npos ? std::string_view()
                                                             : line.substr(at + 2, close - at - 2));
      if (close == std::string_view::npos || !isScriptVariableName(name)) {
        const std::size_t shown =
            std::min<std::size_t>(line.size() - at, close == std::string_view::npos ? 20 : close - at + 1);
        return fail(
            path, lineNo,
            "[" + std::string(line.substr(at, shown)) + "] is not a scripting variable reference $(NAME)",
            error);
      }
      const auto found = m_variables.find(upper(name));
      if (found == m_variables.end()) {
        return fail(path, lineNo,
                    "scripting variable [" + name +
                        "] is not defined (define it with --var, SqlcmdVariables= or :setvar)",
                    error);
      }
      result += found->second;
      from = close + 1;
    }
    result.append(line.substr(from));
    return true;
  }

  // A double-quoted word at text[at] ("" for a quote inside) or a bare word; end receives the
  // offset after it. False when a quote is not closed.
  static bool readArgument(const std::string& text, std::size_t at, std::string& value, std::size_t& end,
                           bool restOfLine) {
    value.clear();
    if (at < text.size() && text[at] == '"') {
      for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != '"') {
          value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
          value += '"';
          ++i;
        } else {
          end = i + 1;
          return true;
        }
      }
      return false;
    }
    std::size_t i = at;
    if (restOfLine) {
      value = trimmed(std::string_view(text).substr(at));
      end = text.size();
      return true;
    }
    while (i < text.size() && !isBlank(text[i])) value += text[i++];
    end = i;
    return true;
  }

  static std::size_t skipBlanks(const std::string& text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) ++at;
    return at;
  }

  bool setVariable(const std::string& args, const std::string& path, int lineNo, ExpansionError& error) {
    std::size_t at = skipBlanks(args, 0);
    std::size_t end = at;
    while (end < args.size() && !isBlank(args[end])) ++end;
    const std::string name = args.substr(at, end - at);
    if (!isScriptVariableName(name)) {
      return fail(path, lineNo,
                  ":setvar needs a variable name (letters, digits, '_' and '-'), not [" + name + "]", error);
    }
    at = skipBlanks(args, end);
    if (at >= args.size()) {
      m_variables.erase(upper(name));
      return true;
    }
    std::string value;
    if (!readArgument(args, at, value, end, false)) {
      return fail(path, lineNo, "the value of :setvar " + name + " has no closing double quote", error);
    }
    if (skipBlanks(args, end) < args.size()) {
      return fail(path, lineNo,
                  "unexpected text after the value of :setvar " + name +
                      " (put a value with blanks in double quotes)",
                  error);
    }
    std::string expanded;
    if (!substitute(value, path, lineNo, expanded, error)) return false;
    m_variables[upper(name)] = expanded;
    return true;
  }

  bool include(const std::string& args, const std::string& path, int lineNo, int depth,
               ExpansionError& error) {
    std::string target;
    std::size_t end = 0;
    const std::size_t at = skipBlanks(args, 0);
    if (!readArgument(args, at, target, end, true) || target.empty() ||
        (args[at] == '"' && skipBlanks(args, end) < args.size())) {
      return fail(path, lineNo, ":r needs one file name (in double quotes when it holds blanks)", error);
    }
    std::string expanded;
    if (!substitute(target, path, lineNo, expanded, error)) return false;
    std::filesystem::path resolved(expanded);
    if (resolved.is_relative()) resolved = std::filesystem::path(path).parent_path() / resolved;
    const std::string includePath = resolved.lexically_normal().string();
    if (depth + 1 > kMaxIncludeDepth) {
      return fail(path, lineNo,
                  "cannot include [" + includePath + "]: includes are nested more than " +
                      std::to_string(kMaxIncludeDepth) + " deep",
                  error);
    }
    const std::string identity = identityOf(includePath);
    const auto seen = std::find(m_chain.begin(), m_chain.end(), identity);
    if (seen != m_chain.end()) {
      std::string chain;
      for (auto it = m_chainNames.begin() + (seen - m_chain.begin()); it != m_chainNames.end(); ++it) {
        chain += *it + " -> ";
      }
      return fail(path, lineNo,
                  "cannot include [" + includePath + "]: it includes itself (" + chain + includePath + ")",
                  error);
    }
    std::string text;
    std::string loadError;
    if (!m_load(includePath, text, loadError)) {
      return fail(path, lineNo, "cannot include [" + includePath + "]: " + loadError, error);
    }
    m_out.files.push_back(includePath);
    const int index = static_cast<int>(m_out.files.size()) - 1;
    if (!expandFile(includePath, text, index, depth + 1, error)) return false;
    // The line after the :r starts on a line of its own even when the included file does
    // not end with a line end.
    if (!m_out.text.empty() && m_out.text.back() != '\n') m_out.text += '\n';
    return true;
  }

  bool command(const std::string& line, const std::string& path, int lineNo, int depth,
               ExpansionError& error) {
    std::size_t at = skipBlanks(line, 0);
    if (line.compare(at, 2, "!!") == 0) {
      return fail(path, lineNo,
                  "[" + trimmed(line) + "] runs an operating-system command, which is not supported", error);
    }
    ++at;  // the ':'
    std::size_t end = at;
    while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
    const std::string name = upper(line.substr(at, end - at));
    const std::string args = line.substr(end);
    if (name == "SETVAR") return setVariable(args, path, lineNo, error);
    if (name == "R") return include(args, path, lineNo, depth, error);
    if (name == "ON") {
      std::string words = upper(trimmed(args));
      words.erase(
          std::unique(words.begin(), words.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
          words.end());
      if (words == "ERROR EXIT") return true;
      return fail(path, lineNo,
                  "[" + trimmed(line) + "] is not supported: the first failing batch always ends the script",
                  error);
    }
    return fail(path, lineNo, "the sqlcmd command [" + trimmed(line) + "] is not supported", error);
  }

  bool expandLines(const std::string& path, const std::string& text, int fileIndex, int depth,
                   ExpansionError& error) {
    const ScriptScan scan = scanSqlScript(text);
    auto nextCommand = scan.commandLines.begin();
    std::string line;
    std::size_t pos = 0;
    int lineNo = 1;
    while (pos < text.size()) {
      std::size_t eol = text.find('\n', pos);
      const bool hasEnd = eol != std::string::npos;
      if (!hasEnd) eol = text.size();
      const std::string_view raw = std::string_view(text).substr(pos, eol - pos);
      const LineOrigin origin{fileIndex, lineNo};
      if (nextCommand != scan.commandLines.end() && nextCommand->line == lineNo) {
        ++nextCommand;
        // A command is parsed as written; its arguments have their variables replaced, so that a
        // value holding blanks or quotes cannot change how the command reads.
        line.assign(raw);
        const bool isInclude = [&] {
          const std::size_t at = skipBlanks(line, 0);
          return at + 2 <= line.size() && line[at] == ':' && (line[at + 1] == 'r' || line[at + 1] == 'R') &&
                 (at + 2 == line.size() || isBlank(line[at + 2]) || line[at + 2] == '"');
        }();
        if (!command(line, path, lineNo, depth, error)) return false;
        if (!isInclude) emit("", hasEnd, origin);
      } else {
        if (!substitute(raw, path, lineNo, line, error)) return false;
        emit(line, hasEnd, origin);
      }
      pos = hasEnd ? eol + 1 : eol;
      ++lineNo;
    }
    return true;
  }

  const ScriptLoader& m_load;
  ScriptText& m_out;
  std::map<std::string, std::string> m_variables;  // by upper-case name
  std::vector<std::string> m_chain;                // identities of the files being expanded
  std::vector<std::string> m_chainNames;           // their paths as named
};

}  // namespace

bool expandSqlcmdScript(const std::string& path, const std::string& text, const ScriptSettings& settings,
                        const ScriptLoader& load, ScriptText& out, ExpansionError& error) {
  out = ScriptText();
  out.files.push_back(path);
  out.text.reserve(text.size());
  Expander expander(settings, load, out);
  return expander.expandFile(path, text, 0, 0, error);
}

}  // namespace zarezodud
