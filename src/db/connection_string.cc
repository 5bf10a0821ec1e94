// getSQLServerConnectionString: the one connection-string format of every connection. Every
// value is quoted by the ODBC rule (braces around anything but a plain token), so a ';', '=',
// '{', '}' or blank inside a server, database, user or password is part of that value and can
// never add or override an attribute.
#include "db/db_queries.h"
#include "platform/odbc/connection_string_rules.h"
#include "platform/debuglog/ev_debug.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

using zarezodud::quoteConnectionValue;

std::string getSQLServerConnectionString(std::string server, std::string database, std::string user,
                                         std::string password, bool withDriver, bool trusted, bool masked) {
  std::string text;
  if (withDriver) {
    std::string driver = quoteConnectionValue(RKSimpleDBConnObject::DetectSQLNativeClientDriverVersion());
    // The driver piece is always braced.
    if (driver.empty() || driver.front() != '{') driver = "{" + driver + "}";
    text = "Driver=" + driver + ";Server=";
  } else {
    text = "Server=";
  }
  text += quoteConnectionValue(server);
  text += ";Database=" + quoteConnectionValue(database);
  if (trusted) {
    text += ";Trusted_Connection=Yes";
  } else {
    text += ";UID=" + quoteConnectionValue(user) +
            ";PWD=" + (masked ? std::string("*****") : quoteConnectionValue(password));
  }
  text += ";MARS_Connection=yes;AnsiNPW=Yes";
  text += ";APP=" + quoteConnectionValue(zarezodud::EvDebug::getProcessName()) + ";";
  return text;
}
