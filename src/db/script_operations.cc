// DBQueries: the pieces shared by the one-shot script operations: reading and filling a
// caller's script, and closing the product connection before master works on its database.
#include "db/db_queries.h"
#include "db/rows/db_table.h"
#include "db/script_formatter.h"
#include "log/format_message.h"
#include "platform/rk_simple_db_conn_object.h"

using zarezodud::formatMessage;

void DBQueries::closeDBConnection() { replaceDBConnection(nullptr); }

bool DBQueries::loadFormattedScript(const std::string& path, const std::vector<zarezodud::ScriptArg>& args,
                                    std::string& text) {
  std::string script;
  if (!readScriptFile(path, script)) return false;
  if (!zarezodud::formatScript(script, args, text)) {
    m_lastError = formatMessage("Script [%s] does not match the operation's arguments.", path.c_str());
    return false;
  }
  return true;
}
