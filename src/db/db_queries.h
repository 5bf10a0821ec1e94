// DBQueries: the handle on one product database on SQL Server. It holds the access data
// (given directly or looked up in the platform registry), opens its two connections lazily
// (product database and master), runs scripts and queries through them, and offers the
// one-shot database operations. Every failure leaves a text in the last-error field.
//
// Thread-safety: one thread at a time per object. The object owns both connections and is
// not copyable. Passwords are kept in memory only as long as the object lives and are
// cleared on destruction; they never reach the last-error text or a log (connection strings
// there are masked).
#ifndef ZAREZODUD_DB_DB_QUERIES_H
#define ZAREZODUD_DB_DB_QUERIES_H

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "export.h"

class RKSimpleDBConnObject;

class ZAREZODUD_API DBQueries {
 public:
  // Direct form: the caller supplies instance, DSN, database, user and password.
  DBQueries(std::string dbServerType, std::string sqlInstance, std::string dsn, std::string dbName,
            std::string userName, std::string password);
  // Registry form: the credentials, instance and DSN are read from the registry on first use.
  DBQueries(std::string dbServerType, std::string registryBase, std::string controlSetName,
            std::string dbAccessRegistryPath, std::string dsnRegistryValueName,
            std::string sqlInstanceRegistryKey, std::string sqlUserRegistryKey, std::string dbName);
  ~DBQueries();
  DBQueries(const DBQueries&) = delete;
  DBQueries& operator=(const DBQueries&) = delete;

  // Connections ----------------------------------------------------------------------------
  // Sets the registry base, focus and access path; returns 1.
  unsigned int setDBRegistryPath(std::string registryBase, std::string controlSetName,
                                 std::string dbAccessRegistryPath);
  // Open (replacing any open one) the product-database / master connection; 1 or 0.
  unsigned int getDBSQLConnection();
  unsigned int getMasterDBSQLConnection();
  // The product database's connection string (with driver, SQL authentication, unmasked);
  // the caller must not log it.
  unsigned int getConnectionString(std::string& out);
  unsigned int getConnectionInfo(std::string& server, std::string& user, std::string& password,
                                 unsigned int& authType);
  // The text of the last failure; owned by the object.
  const char* getLastError() const { return m_lastError.c_str(); }

  // Execution on the product database ------------------------------------------------------
  unsigned int executeSQLQuery(std::string query, int transactionAbort, std::string quotedIdentifier);
  unsigned int executeSQLQueryAndReturnInt(std::string query, int& result, int transactionAbort,
                                           std::string quotedIdentifier);
  unsigned int executeSQLQueryAndReturnString(std::string query, std::string& result, int transactionAbort,
                                              std::string quotedIdentifier);
  unsigned int executeSQLFile(std::string filePath, int& returnCode, int transactionAbort, int checkReturnValue,
                              std::string quotedIdentifier);
  unsigned int executeSQLFileAndReturnInt(std::string filePath, int& result, int transactionAbort,
                                          std::string quotedIdentifier);
  unsigned int executeSQLFileAndReturnString(std::string filePath, std::string& result, int transactionAbort,
                                             std::string quotedIdentifier);

  // Execution on master ----------------------------------------------------------------------
  unsigned int executeSQLQueryOnMasterDB(std::string query, int transactionAbort);
  unsigned int executeSQLQueryAndReturnIntOnMasterDB(std::string query, int& result, int transactionAbort);
  unsigned int executeSQLQueryOnMasterDBForZARezodud(std::string query, int transactionAbort);
  unsigned int executeSQLFileOnMasterDB(std::string filePath, int transactionAbort, int checkReturnValue);
  unsigned int executeSQLFileAndReturnIntOnMasterDB(std::string filePath, int& result, int transactionAbort);

  // Writes scriptName and the elapsed whole seconds to the script-time log when they reach the
  // registry threshold (read once per object; default 2 seconds).
  void logScriptExecTime(std::string scriptName, std::chrono::system_clock::time_point start,
                         std::chrono::system_clock::time_point end);

  // Service-pack selection: adds (name, 0) for every function / stored procedure that the
  // database marks as created after its service-pack step. 1 when all rows were read.
  unsigned int populateFuncMap(std::string dbName, std::map<std::string, int32_t>& functions);
  unsigned int populateSPMap(std::string dbName, std::map<std::string, int32_t>& procedures);

  // Read access for callers and tests.
  const std::string& getDBName() const { return m_dbName; }
  const std::string& getPlainConnectionString() const { return m_plainConnectionString; }
  bool hasDBConnection() const { return m_dbConnection != nullptr; }
  bool hasMasterConnection() const { return m_masterConnection != nullptr; }
  int32_t getScriptTimeThreshold() const { return m_scriptTimeThreshold; }

 private:
  // True when SQL instance, database, user or password is missing (connections).
  bool credentialsIncomplete(bool needDatabase) const;
  // Completes the credentials from the registry; false with the last error set.
  bool completeCredentials(const char* missingFormat, bool needDatabase);
  // Reads "nSQLAuthType" (0 when it cannot be read).
  unsigned int readAuthType(std::string* error);
  unsigned int openConnection(RKSimpleDBConnObject*& slot, const std::string& database, bool storePlain);
  // Text of the whole file at path; false with "Cannot open file [%s]." set.
  bool readScriptFile(const std::string& path, std::string& text);
  bool ensureDBConnection();
  unsigned int populateObjectMap(const std::string& dbName, const char* objectType,
                                 std::map<std::string, int32_t>& names);
  bool ensureMasterConnection();

  std::string m_dbServerType;
  std::string m_sqlInstance;
  std::string m_dsn;
  std::string m_dbName;
  std::string m_userName;
  std::string m_password;
  std::string m_registryBase;
  std::string m_controlSetName;
  std::string m_dbAccessRegistryPath;
  std::string m_dsnRegistryValueName;
  std::string m_sqlInstanceRegistryKey;
  std::string m_sqlUserRegistryKey;
  std::string m_plainConnectionString;
  std::string m_lastError;
  int32_t m_scriptTimeThreshold;
  RKSimpleDBConnObject* m_dbConnection;
  RKSimpleDBConnObject* m_masterConnection;
};

// Reads one registry value: a string when textOut is given (textLength: buffer size in, value
// length out), else an unsigned 32-bit number into numberOut. 1 or 0 with error set.
ZAREZODUD_API unsigned int readRegistry(std::string registryBase, std::string controlSetName, std::string keyPath,
                                        std::string valueName, unsigned int* numberOut, char* textOut,
                                        unsigned long* textLength, std::string& error);
// Fetches and decrypts the stored SQL user and password, and the optional instance and DSN.
ZAREZODUD_API unsigned int getDBUser(std::string registryBase, std::string controlSetName,
                                     std::string dbAccessRegistryPath, std::string dsnValueName,
                                     std::string sqlInstanceValueName, std::string sqlUserValueName,
                                     std::string& dsnOut, std::string& sqlInstanceOut, std::string& userOut,
                                     std::string& passwordOut, std::string& error);
// The SQL Server connection string; only the masked form may be logged.
ZAREZODUD_API std::string getSQLServerConnectionString(std::string server, std::string database, std::string user,
                                                       std::string password, bool withDriver, bool trusted,
                                                       bool masked);

#endif
