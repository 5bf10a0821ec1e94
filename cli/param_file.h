// The parameter file of the zarezodud command: an INI file whose [Parameters] section holds
// one key per ZARezodudParams accessor (productName, DBname, ..., xmlOutput). Relative paths
// in the file resolve against the file's own directory; --set key=value overrides (relative
// paths there resolve against the current directory). The password comes from the file or,
// taking precedence, from the environment variable ZAREZODUD_PASSWORD; never from --set,
// since command-line arguments are visible to every user of the host.
//
// Two further keys say how scripts are read; they are not part of the parameter record:
// ScriptCodePage (the code page of scripts that are not UTF-8, checked against iconv) and
// SqlcmdVariables (NAME=VALUE;NAME=VALUE..., ";;" for a ';' in a value), which turns the sqlcmd
// variable mode on. Each SqlcmdVariables line or --set adds its variables (a later value
// for the same name wins), so the command's --var NAME=VALUE is --set SqlcmdVariables=....
//
// Thread-safety: loading reads the environment; call it from one thread.
#ifndef ZAREZODUD_CLI_PARAM_FILE_H
#define ZAREZODUD_CLI_PARAM_FILE_H

#include <memory>
#include <string>
#include <vector>

#include "db/script_settings.h"
#include "engine/zarezodud_params.h"

namespace zcli {

struct ParamLoadResult {
  bool ok = false;
  // On failure: the exit code to use (64 for a malformed --set, 2 for a bad file) and a
  // message naming the file (and line) and the fix. Never holds a password.
  int exitCode = 0;
  std::string error;
  // On success: the parameters (heap-held: the record is large) and the file's absolute path.
  std::unique_ptr<ZARezodudParams> params;
  std::string file;
  // How scripts are read (ScriptCodePage, SqlcmdVariables).
  zarezodud::ScriptSettings scripts;
};

// Reads file and applies overrides ("key=value" each), in that order.
ParamLoadResult loadParamFile(const std::string& file, const std::vector<std::string>& overrides);

// The names of the keys the parameter file accepts, in record order.
std::vector<std::string> paramKeyNames();

}  // namespace zcli

#endif
