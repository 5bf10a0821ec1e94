// getSQLServerConnectionString: the one connection-string format of every connection.
#include "db/db_queries.h"
#include "platform/ev_debug.h"
#include "platform/rk_simple_db_conn_object.h"

std::string getSQLServerConnectionString(std::string server, std::string database, std::string user,
                                         std::string password, bool withDriver, bool trusted, bool masked) {
  std::string text;
  if (withDriver) {
    text = "Driver={" + RKSimpleDBConnObject::DetectSQLNativeClientDriverVersion() + "};Server=";
  } else {
    text = "Server=";
  }
  text += server;
  text += ";Database=" + database;
  if (trusted) {
    text += ";Trusted_Connection=Yes";
  } else {
    text += ";UID=" + user + ";PWD=" + (masked ? std::string("*****") : password);
  }
  text += ";MARS_Connection=yes;AnsiNPW=Yes";
  text += ";APP=" + zarezodud::EvDebug::getProcessName() + ";";
  return text;
}
