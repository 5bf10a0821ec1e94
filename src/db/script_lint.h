// The script lint: what would happen to a script file when it is read and sent, found without
// sending anything.
//
//   error    the script will fail or be sent wrong: it cannot be read or decoded, a GO line is
//            not a valid batch separator, a string literal, quoted identifier or block comment
//            is still open at the end (the batch will not parse), a NUL character cuts the text,
//            a sqlcmd command or variable cannot be carried out (variable mode on);
//   warning  probably not what the author meant: sqlcmd syntax with the variable mode off (sent
//            to the server as it is), a GO line inside a string literal or quoted identifier (it
//            does not split), nothing to send;
//   info     what will be done: a byte-order mark dropped, UTF-16 or a code page decoded, mixed
//            line ends.
//
// Line and column are 1-based and count as a person sees the file (columns in characters);
// 0 when a finding concerns the whole file. Findings inside an included file name that file.
//
// Pure functions apart from reading the files; thread-safe.
#ifndef ZAREZODUD_DB_SCRIPT_LINT_H
#define ZAREZODUD_DB_SCRIPT_LINT_H

#include <string>
#include <vector>

#include "db/script_settings.h"
#include "export.h"

namespace zarezodud {

enum class LintSeverity { kInfo, kWarning, kError };

// "info", "warning", "error".
ZAREZODUD_API const char* lintSeverityName(LintSeverity severity);

struct LintFinding {
  std::string file;
  int line = 0;
  int column = 0;
  LintSeverity severity = LintSeverity::kInfo;
  std::string message;
};

// Checks the script file at path as it would be read with settings and appends its findings,
// ordered by file (the script first, then included files as met) and position.
ZAREZODUD_API void lintScript(const std::string& path, const ScriptSettings& settings,
                              std::vector<LintFinding>& findings);

}  // namespace zarezodud

#endif
