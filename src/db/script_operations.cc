// DBQueries: the pieces shared by the one-shot script operations: reading and filling a
// caller's script, and closing the product connection before master works on its database.
#include "db/db_queries.h"
#include "db/rows/db_table.h"
#include "db/script_formatter.h"
#include "log/format_message.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

using zarezodud::formatMessage;

void DBQueries::closeDBConnection() { replaceDBConnection(nullptr); }

bool DBQueries::loadFormattedScript(const char* operation, const std::string& path,
                                    const std::vector<zarezodud::ScriptArg>& args, std::string& text) {
  std::string script;
  if (!readScriptFile(path, script)) return false;
  zarezodud::ScriptFillProblem problem;
  if (zarezodud::formatScript(script, args, text, &problem)) return true;
  if (problem.argument == zarezodud::ScriptFillProblem::npos) {
    m_lastError = formatMessage("Script [%s] does not match the operation's arguments.", path.c_str());
    return false;
  }
  // The argument is named by its place in the operation's call (the script path is the first)
  // and never shown: it may be a secret.
  const zarezodud::ScriptArg& refused = args[problem.argument];
  const std::string argument = refused.kind() == zarezodud::ScriptArg::Kind::kDatabaseName
                                   ? std::string("the database name")
                                   : "argument " + std::to_string(problem.argument + 2);
  m_lastError =
      formatMessage("%s: %s cannot be put into script [%s] at line %zu: %s. Nothing was sent.", operation,
                    argument.c_str(), path.c_str(), problem.line, problem.reason.c_str());
  return false;
}
