// DBQueries: construction, credential completion from the registry and the two lazily opened
// connections (product database and master).
#include <memory>

#include "base/text_trim.h"
#include "db/current_db_queries.h"
#include "db/db_queries.h"
#include "db/script_text.h"
#include "db/rows/db_table.h"
#include "db/secure_text.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"
#include "platform/odbc/connection_string_rules.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

using zarezodud::formatMessage;

namespace {

const char kConnectMissing[] =
    "Missing Information to connect to the database. RegistryBase : [%s], ControlSetName : [%s], "
    "DBAccessRegistryPath : [%s], SQLInstanceRegistryKey : [%s], SQLUserRegistryKey : [%s], DBName : [%s]";
const char kInfoMissing[] =
    "Missing Information to get connection info. RegistryBase : [%s], ControlSetName : [%s], "
    "DBAccessRegistryPath : [%s], SQLInstanceRegistryKey : [%s], SQLUserRegistryKey : [%s]";

bool isSQLServer(const std::string& type) { return zarezodud::equalsIgnoreCase(type, "SQL Server"); }

// The name of the first connection value that no connection string can carry (a NUL or a line
// break in it), or null when all can be carried. Names only: the values may be secret.
const char* uncarriableValue(const std::string& server, const std::string& database, const std::string& user,
                             const std::string& password) {
  if (zarezodud::hasUncarriableCharacter(server)) return "SQL instance";
  if (zarezodud::hasUncarriableCharacter(database)) return "database name";
  if (zarezodud::hasUncarriableCharacter(user)) return "user name";
  if (zarezodud::hasUncarriableCharacter(password)) return "password";
  return nullptr;
}

std::string uncarriableMessage(const char* what, const char* value) {
  return formatMessage(
      "%s: the %s holds a NUL or line-break character, which a connection string cannot carry.", what, value);
}

}  // namespace

DBQueries::DBQueries(std::string dbServerType, std::string sqlInstance, std::string dsn, std::string dbName,
                     std::string userName, std::string password)
    : m_dbServerType(std::move(dbServerType)),
      m_sqlInstance(std::move(sqlInstance)),
      m_dsn(std::move(dsn)),
      m_dbName(std::move(dbName)),
      m_userName(std::move(userName)),
      m_password(std::move(password)),
      m_scriptTimeThreshold(-1),
      m_dbConnection(nullptr),
      m_masterConnection(nullptr) {}

DBQueries::DBQueries(std::string dbServerType, std::string registryBase, std::string controlSetName,
                     std::string dbAccessRegistryPath, std::string dsnRegistryValueName,
                     std::string sqlInstanceRegistryKey, std::string sqlUserRegistryKey, std::string dbName)
    : m_dbServerType(std::move(dbServerType)),
      m_dbName(std::move(dbName)),
      m_registryBase(std::move(registryBase)),
      m_controlSetName(std::move(controlSetName)),
      m_dbAccessRegistryPath(std::move(dbAccessRegistryPath)),
      m_dsnRegistryValueName(std::move(dsnRegistryValueName)),
      m_sqlInstanceRegistryKey(std::move(sqlInstanceRegistryKey)),
      m_sqlUserRegistryKey(std::move(sqlUserRegistryKey)),
      m_scriptTimeThreshold(-1),
      m_dbConnection(nullptr),
      m_masterConnection(nullptr) {}

DBQueries::~DBQueries() {
  zarezodud::forgetCurrentDBQueries(this);
  replaceDBConnection(nullptr);
  zarezodud::DBtable::forgetConnection(m_masterConnection);
  delete m_masterConnection;
  zarezodud::clearString(m_password);
  zarezodud::clearString(m_plainConnectionString);
}

unsigned int DBQueries::setDBRegistryPath(std::string registryBase, std::string controlSetName,
                                          std::string dbAccessRegistryPath) {
  m_registryBase = std::move(registryBase);
  m_controlSetName = std::move(controlSetName);
  m_dbAccessRegistryPath = std::move(dbAccessRegistryPath);
  return 1;
}

bool DBQueries::credentialsIncomplete(bool needDatabase) const {
  return m_sqlInstance.empty() || (needDatabase && m_dbName.empty()) || m_userName.empty() ||
         m_password.empty();
}

bool DBQueries::completeCredentials(const char* missingFormat, bool needDatabase) {
  if (!credentialsIncomplete(needDatabase)) return true;
  if (m_registryBase.empty() || m_controlSetName.empty() || m_dbAccessRegistryPath.empty() ||
      m_sqlInstanceRegistryKey.empty() || m_sqlUserRegistryKey.empty() ||
      (needDatabase && m_dbName.empty())) {
    m_lastError = formatMessage(missingFormat, m_registryBase.c_str(), m_controlSetName.c_str(),
                                m_dbAccessRegistryPath.c_str(), m_sqlInstanceRegistryKey.c_str(),
                                m_sqlUserRegistryKey.c_str(), m_dbName.c_str());
    return false;
  }
  std::string dsn = m_dsn, instance, user, password, error;
  if (!getDBUser(m_registryBase, m_controlSetName, m_dbAccessRegistryPath, m_dsnRegistryValueName,
                 m_sqlInstanceRegistryKey, m_sqlUserRegistryKey, dsn, instance, user, password, error)) {
    m_lastError = error;
    zarezodud::clearString(password);
    return false;
  }
  m_sqlInstance = instance;
  if (!m_dsnRegistryValueName.empty()) m_dsn = dsn;
  m_userName = user;
  zarezodud::clearString(m_password);
  m_password = password;
  zarezodud::clearString(password);
  return true;
}

unsigned int DBQueries::readAuthType(std::string* error) {
  unsigned int authType = 0;
  std::string readError;
  if (!readRegistry(m_registryBase, m_controlSetName, m_dbAccessRegistryPath, "nSQLAuthType", &authType,
                    nullptr, nullptr, readError)) {
    authType = 0;
    if (error != nullptr) *error = readError;
  }
  return authType;
}

void DBQueries::replaceDBConnection(RKSimpleDBConnObject* replacement) {
  zarezodud::DBtable::forgetConnection(m_dbConnection);
  RKSimpleDBConnObject* old = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    old = m_dbConnection;
    m_dbConnection = replacement;
  }
  delete old;
}

unsigned int DBQueries::openConnection(RKSimpleDBConnObject*& slot, const std::string& database,
                                       bool storePlain) {
  // The product slot changes only under the connection lock (cancelRunningScript() reads it
  // from another thread); the new connection is put in place once it is open.
  const bool product = &slot == &m_dbConnection;
  if (product) {
    replaceDBConnection(nullptr);
  } else {
    zarezodud::DBtable::forgetConnection(slot);
    delete slot;
    slot = nullptr;
  }
  std::unique_ptr<RKSimpleDBConnObject> fresh(zarezodud::createSQLConnection());
  fresh->setNumConnectAttempts(6);
  fresh->setHostSettings(m_hostSettings);
  if (!completeCredentials(kConnectMissing, true)) return 0;
  if (!isSQLServer(m_dbServerType)) {
    m_lastError = formatMessage("Failed to get database connection. Non-Supported Database Server [%s].",
                                m_dbServerType.c_str());
    return 0;
  }
  if (const char* bad = uncarriableValue(m_sqlInstance, database, m_userName, m_password)) {
    m_lastError = uncarriableMessage("Failed to get database connection", bad);
    return 0;
  }
  const unsigned int authType = readAuthType(nullptr);
  const bool trusted = authType == 1;
  std::string connectionString =
      getSQLServerConnectionString(m_sqlInstance, database, m_userName, m_password, true, trusted, false);
  if (storePlain) {
    zarezodud::clearString(m_plainConnectionString);
    m_plainConnectionString =
        getSQLServerConnectionString(m_sqlInstance, database, m_userName, m_password, false, false, false);
  }
  const int opened = fresh->OpenSQLConnectionUsingConnectionString(connectionString, false);
  zarezodud::clearString(connectionString);
  if (opened == 0) {
    fresh->setUseSQLDefaultCursorType(true);
    if (product) {
      replaceDBConnection(fresh.release());
    } else {
      slot = fresh.release();
    }
    return 1;
  }
  const std::string masked =
      getSQLServerConnectionString(m_sqlInstance, database, m_userName, m_password, true, trusted, true);
  m_lastError = formatMessage(
      "Failed to get database connection using connection string [%s], authentication "
      "type: [%s]",
      masked.c_str(), trusted ? "windows" : "SQL");
  // The last error names only the connection; the service's reason (login refused, server
  // unreachable, timed out) goes to the upgrade log so that the cause can be told apart.
  // The service masks passwords in its texts.
  ZARezodudLogger::LogLine(
      storePlain ? "DBQueries::getDBSQLConnection" : "DBQueries::getMasterDBSQLConnection", "%s",
      fresh->getLastErrorStr().c_str());
  return 0;
}

unsigned int DBQueries::getDBSQLConnection() {
  const unsigned int opened = openConnection(m_dbConnection, m_dbName, true);
  if (opened == 1) zarezodud::setCurrentDBQueries(this);
  return opened;
}

unsigned int DBQueries::getMasterDBSQLConnection() {
  return openConnection(m_masterConnection, "MASTER", false);
}

unsigned int DBQueries::getConnectionString(std::string& out) {
  if (!completeCredentials(kConnectMissing, true)) return 0;
  if (!isSQLServer(m_dbServerType)) {
    m_lastError =
        formatMessage("Failed to get database connection string. Non-Supported Database Server [%s].",
                      m_dbServerType.c_str());
    return 0;
  }
  if (const char* bad = uncarriableValue(m_sqlInstance, m_dbName, m_userName, m_password)) {
    m_lastError = uncarriableMessage("Failed to get database connection string", bad);
    return 0;
  }
  out = getSQLServerConnectionString(m_sqlInstance, m_dbName, m_userName, m_password, true, false, false);
  return 1;
}

unsigned int DBQueries::getConnectionInfo(std::string& server, std::string& user, std::string& password,
                                          unsigned int& authType) {
  if (!completeCredentials(kInfoMissing, false)) return 0;
  unsigned int type = 0;
  if (!m_registryBase.empty() && !m_controlSetName.empty() && !m_dbAccessRegistryPath.empty()) {
    std::string error;
    type = readAuthType(&error);
    if (!error.empty()) m_lastError = error;
  } else {
    m_lastError = formatMessage(
        "Missing Information to get authentication type. RegistryBase : [%s], ControlSetName : [%s], "
        "DBAccessRegistryPath : [%s]",
        m_registryBase.c_str(), m_controlSetName.c_str(), m_dbAccessRegistryPath.c_str());
  }
  server = m_sqlInstance;
  user = m_userName;
  password = m_password;
  authType = type;
  return 1;
}

bool DBQueries::ensureDBConnection() { return m_dbConnection != nullptr || getDBSQLConnection() == 1; }

bool DBQueries::useProductConnectionForTables() {
  if (!ensureDBConnection()) return false;
  zarezodud::DBtable::setCurrentConnection(m_dbConnection);
  zarezodud::setCurrentDBQueries(this);
  return true;
}

bool DBQueries::ensureMasterConnection() {
  return m_masterConnection != nullptr || getMasterDBSQLConnection() == 1;
}

std::string DBQueries::outputFilePath() const {
  return zarezodud::effectiveOutputDirectory(&m_hostSettings) + "tempOutputFile.txt";
}
