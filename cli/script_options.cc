#include "script_options.h"

#include "db/script_settings.h"

namespace zcli {

void addScriptOptions(CLI::App* cmd, ScriptOptions& options) {
  cmd->add_option("--script-codepage", options.codePage,
                  "Code page of scripts that are not UTF-8 (e.g. 1252, ISO-8859-1); without it such scripts "
                  "are refused");
  cmd->add_option(
      "--var", options.variables,
      "Define a sqlcmd scripting variable NAME=VALUE (repeatable); turns the sqlcmd variable mode "
      "on ($(NAME), :setvar, :r)");
}

bool appendScriptOverrides(const ScriptOptions& options, std::vector<std::string>& overrides,
                           std::string& error) {
  if (!options.codePage.empty()) overrides.push_back("ScriptCodePage=" + options.codePage);
  for (const std::string& variable : options.variables) {
    std::string name, value, reason;
    if (!zarezodud::parseScriptVariable(variable, name, value, reason)) {
      error = "--var " + reason + "; write --var NAME=VALUE.";
      return false;
    }
    overrides.push_back("SqlcmdVariables=" + zarezodud::scriptVariableListItem(name, value));
  }
  return true;
}

}  // namespace zcli
