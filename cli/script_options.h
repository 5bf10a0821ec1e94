// The command-line options that say how scripts are read, shared by run, plan, validate and
// lint: --script-codepage NAME and --var NAME=VALUE (repeatable; turns the sqlcmd variable mode
// on). They are turned into parameter overrides (--set ScriptCodePage=..., --set
// SqlcmdVariables=...), so that they travel with the other overrides (a resumed run finds
// them in its run journal) and are checked in one place (param_file.h).
//
// Thread-safety: plain functions over the caller's objects.
#ifndef ZAREZODUD_CLI_SCRIPT_OPTIONS_H
#define ZAREZODUD_CLI_SCRIPT_OPTIONS_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace zcli {

struct ScriptOptions {
  std::string codePage;
  std::vector<std::string> variables;  // NAME=VALUE each
};

// Adds --script-codepage and --var to cmd, filling options.
void addScriptOptions(CLI::App* cmd, ScriptOptions& options);

// Appends the overrides that options stand for to overrides. False with error (a usage error)
// when a --var is not NAME=VALUE with a valid name.
bool appendScriptOverrides(const ScriptOptions& options, std::vector<std::string>& overrides,
                           std::string& error);

// True when options hold anything.
inline bool hasScriptOptions(const ScriptOptions& options) {
  return !options.codePage.empty() || !options.variables.empty();
}

}  // namespace zcli

#endif
