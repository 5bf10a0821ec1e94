// DBQueries: the handle on one product database on SQL Server. It holds the access data
// (given directly or looked up in the platform registry), opens its two connections lazily
// (product database and master), runs scripts and queries through them, and offers the
// one-shot database operations. Every failure leaves a text in the last-error field.
//
// Thread-safety: one thread at a time per object, except cancelRunningScript(), which any
// thread may call while the object's thread runs a script. The object owns both connections
// and is not copyable. Passwords are kept in memory only as long as the object lives and are
// cleared on destruction; they never reach the last-error text or a log (connection strings
// there are masked).
#ifndef ZAREZODUD_DB_DB_QUERIES_H
#define ZAREZODUD_DB_DB_QUERIES_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "platform/settings/host_settings.h"
#include "db/script_settings.h"
#include "export.h"

class RKSimpleDBConnObject;
namespace zarezodud {
class ScriptArg;
}

namespace zarezodud {
struct ScriptText;
}

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
  unsigned int executeSQLFile(std::string filePath, int& returnCode, int transactionAbort,
                              int checkReturnValue, std::string quotedIdentifier);
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

  // How script files are read from now on (code page, sqlcmd variable mode); the default
  // refuses scripts that are not UTF-8 or UTF-16 with byte-order mark, and sends sqlcmd syntax
  // unchanged.
  void setScriptSettings(const zarezodud::ScriptSettings& settings) { m_scriptSettings = settings; }
  // This object's own host settings (platform/host_settings.h): their output directory, ODBC
  // attributes and login timeout apply to the connections it opens from now on, in place of the
  // process-wide ones.
  void setHostSettings(const zarezodud::HostSettings& settings) { m_hostSettings = settings; }
  const zarezodud::HostSettings& getHostSettings() const { return m_hostSettings; }
  // The temporary output file its connections write a script's messages to.
  std::string outputFilePath() const;
  const zarezodud::ScriptSettings& getScriptSettings() const { return m_scriptSettings; }

  // Writes scriptName and the elapsed whole seconds to the script-time log when they reach the
  // registry threshold (read once per object; default 2 seconds).
  void logScriptExecTime(std::string scriptName, std::chrono::system_clock::time_point start,
                         std::chrono::system_clock::time_point end);

  // Script time limit ---------------------------------------------------------------------
  // The limit in seconds on each batch of a script file run on the product database (0: no
  // limit). Unless set here, it is read once from the registry value "nScriptTimeoutSeconds"
  // under "Database"; absent or unreadable means no limit. A batch that runs longer is
  // cancelled; the script fails with return code 2 and the last error "Script [%s] exceeded
  // the timeout of %d second(s) in the batch starting at line %d." (the line within the file),
  // and the product connection stays usable (an open transaction is rolled back) or is opened
  // afresh by the next operation.
  void setScriptTimeout(int seconds);
  int getScriptTimeout();
  // Cancels the batch that the product connection runs now; safe to call from any thread
  // while the object's own thread runs a script. The script then fails with "Script [%s] was
  // cancelled in the batch starting at line %d.". Returns 1 when a cancel was passed on, 0
  // when no product connection is open.
  unsigned int cancelRunningScript();

  // Service-pack selection: adds (name, 0) for every function / stored procedure that the
  // database marks as created after its service-pack step. 1 when all rows were read.
  unsigned int populateFuncMap(std::string dbName, std::map<std::string, int32_t>& functions);
  unsigned int populateSPMap(std::string dbName, std::map<std::string, int32_t>& procedures);

  // Maintenance operations -------------------------------------------------------------------
  // The script operations read the script file at scriptPath, put their text arguments into its
  // "%s" placeholders in order ("%%" for a literal percent sign) and run it with transaction
  // abort on and quoted identifiers "ON". All return 1 on success and 0 on failure with the
  // reason in getLastError(): "Cannot open file [<path>]." (no connection is opened), "Script
  // [<path>] does not match the operation's arguments." when the script holds another
  // conversion or more placeholders than the operation supplies, or the execution's error.
  //
  // On the product database: a consistency check of dbName.
  unsigned int checkDBConsistency(std::string scriptPath, std::string dbName);
  // On the product database, filled with the two caller values.
  unsigned int BackupDatabase(std::string scriptPath, std::string first, std::string second);
  unsigned int createDBUserMappings(std::string scriptPath, std::string first, std::string second);
  // On the product database; fails with "Failed to validate the database [<name>]." (the name
  // this object was constructed for) when the script returns a non-zero integer.
  unsigned int validateDB(std::string scriptPath, std::string dbName);
  // On the product database; the integer the script returns is ignored.
  unsigned int addAllExtendedStoredProcsAndCreateCLRFunctions(std::string scriptPath, std::string value);
  // On the product database; any failure or a non-zero script integer gives
  // "Failed to create CLR Functions.".
  unsigned int createCLRFunctionsZI2(std::string scriptPath, std::string value);
  // On master. When dbName equals this object's database name (ignoring case), the product
  // connection is closed first so that the database is not in use; a later product call opens
  // a new one.
  unsigned int DropDatabase(std::string scriptPath, std::string dbName);
  // On master, filled with the three caller values.
  unsigned int addExtendedStoredProc(std::string scriptPath, std::string first, std::string second,
                                     std::string third);
  // Runs "sp_dbcmptlevel '<dbName>', <level>" on the product database (quotes in the name are
  // doubled; a name holding NUL is refused).
  unsigned int setSQLServerCompatibilityLevel(std::string dbName, int level);
  // Restores dbName from backupFile on master, moving every file the backup lists into
  // targetDirectory (joined with the file's logical name). dbName must be a plain name
  // (letters, digits, _ @ # $ -); quotes in the paths and logical names are doubled. On an
  // execution failure of the restore the last error is "Failed to execute Restore Command
  // [<command>].".
  unsigned int restoreDB(std::string backupFile, std::string dbName, std::string targetDirectory);

  // Release and catalogue operations ----------------------------------------------------------
  // Same script handling as above, all on the product database with abort on and "ON"; the
  // members that take no values send the script text unchanged (a "%" needs no doubling).
  //
  // 1 when the script returns 0; else "Fleet Explorer is not installed.".
  unsigned int isFleetExplorerInstalled(std::string scriptPath);
  // 1 when the script returns 0; -1, -2, 1 and other codes give their own last-error texts.
  unsigned int checkCurrentDBRelease(std::string scriptPath);
  // Version records: the script's "%s" receives "0(BUILD80)" (Fleet Explorer, Corehub, Signet
  // agent) or "11.0.0(BUILD80)" (Signet component).
  unsigned int upgradeFEVersion(std::string scriptPath);
  unsigned int upgradeCHVersion(std::string scriptPath);
  unsigned int upgradeSignetAgentVersion(std::string scriptPath);
  unsigned int upgradeSGNTVersion(std::string scriptPath);
  // The script's "%d" receives value; result receives the script's integer, whatever it is.
  unsigned int getNumberOfDeconfiguredClients(std::string scriptPath, int value, int& result);
  unsigned int getScriptRelease(std::string scriptPath, int value, int& result);
  // The script's "%s" receives value; 1 when the script returns 0, else the operation's own
  // failure text (also when the execution fails).
  unsigned int addRegistryStaticList(std::string scriptPath, std::string value);
  unsigned int PopulatePkgDependenciesForAllOS(std::string scriptPath, std::string value);
  unsigned int addAutomationStaticList(std::string scriptPath, std::string value);
  // Unformatted scripts; 1 when the execution succeeds.
  unsigned int SortPackagesBasedOnDependency(std::string scriptPath);
  unsigned int updateJobRestarts(std::string scriptPath);
  unsigned int updateSimTables(std::string scriptPath);
  // Hands path (at most 4,095 characters of it; null counts as "") to the product's
  // event-message service, which fills the event-message catalogue. Always 1.
  unsigned int populateQuasarEventMessages(const char* path);

  // Server and client upgrade operations ----------------------------------------------------
  // Steps after the product database reached the new release. They call the product services
  // (zarezodud::productServices()) and return 1 on success, 0 on failure; the progress or
  // failure text ends in getLastError(). focus (null: the current one stays) names the
  // instance whose registry values are read.
  //
  // Activation from the installer: target "11.0.0(BUILD80)", the OEM id, the client password
  // step included; clientName only appears in the parameter line.
  unsigned int activateCHForInstaller(int upgradeFromRel, int upgradeFromBuild, const char* focus,
                                      const char* clientName, int oemId);
  // Activation by an upgrade tool: no target, OEM id 0, the client password left alone.
  unsigned int activateCH(int upgradeFromRel, int upgradeFromBuild, const char* focus);
  // The activation steps, in order: parameter line; focus; release 16 with a non-zero build is
  // done at once; releases up to 14 create the CA certificate; from the installer the session
  // password goes into client record 2; releases up to 14 update the clients' service-pack
  // version strings. progress (replaced) receives one "Chk point: " line per passed step and
  // ends with the failing step's text on failure. Does not set getLastError().
  unsigned int SimUpdateDBForCHUpgrade(const char* focus, const char* toRelease, unsigned long upgradeFromRel,
                                       unsigned long upgradeFromBuild, unsigned long oemId,
                                       bool fromInstaller, const std::string clientName,
                                       std::string& progress);
  // Has the product's activity service populate the Corehub's activity control.
  unsigned int populateCHActivityControl();
  // Runs AppIfaUpgrade_UninstalledClients with (0, 0) over all its rows; fails at the first row
  // whose clientId is 0 (reporting its errString). On success getLastError() holds the timing
  // text. Release and build are accepted and unused.
  unsigned int upgradeAllDeconfiguredClients(int upgradeFromRel, int upgradeFromBuild, const char* focus);
  // Runs AppIfaUpgrade_UninstalledClients with (2, 0) for one row; fails when there is none or
  // its clientId is 0.
  unsigned int UpgradeAgentsConfiguredOnCH(int upgradeFromRel, int upgradeFromBuild, const char* focus);
  // Application-manager steps: CLR functions and VMWare transport mode (recorded, never
  // decisive), then the agents configured on the Corehub and the virtual-server agent, which
  // decide the result. getLastError() receives the progress text.
  unsigned int AppMgrUpdateDBForCHUpgrade(int upgradeFromRel, int upgradeFromBuild, const char* focus,
                                          bool fromInstaller);
  // Copies the stored session password (registry, focus's "Session" key) into client record 2,
  // where the client service keeps it encrypted. A missing or empty stored password, or an
  // empty decryption, is nothing to do (1). error receives the reason of a failure (never the
  // password). Every buffer that held the password is wiped.
  unsigned int setClientPassword(const char* focus, std::string& error);

  // Storage arrays ---------------------------------------------------------------------------
  // Ties the array named arrayName, the control host controlHostId and the client clientId
  // together: assigns the client to the control host's SMControlHost row, finds (reviving a
  // deleted one) or creates the SMArray row, and finds (reviving) or creates the
  // SMArrayCtrlHostMap link. Each statement stands alone (no transaction): a failure leaves the
  // earlier steps' changes in place. 1 with a success text in getLastError(), else 0 with the
  // failing step's text. Uses the product connection (opened when needed), which becomes the
  // table framework's current one.
  unsigned int ConfigureSMArrayEntries(std::string arrayName, unsigned long controlHostId,
                                       unsigned long clientId);

  // Read access for callers and tests.
  const std::string& getDBName() const { return m_dbName; }
  const std::string& getPlainConnectionString() const { return m_plainConnectionString; }
  bool hasDBConnection() const { return m_dbConnection != nullptr; }
  bool hasMasterConnection() const { return m_masterConnection != nullptr; }
  int32_t getScriptTimeThreshold() const { return m_scriptTimeThreshold; }

  // Called after a script file was read whole and before any of it is sent: the file's path,
  // the lower-case hexadecimal SHA-256 of its bytes as read, and an error text to fill. A hook
  // that returns false stops the run of that script: nothing is sent and the operation fails
  // with the hook's error as last error. An empty hook (the default) computes no digest.
  using ScriptReadHook =
      std::function<bool(const std::string& path, const std::string& sha256, std::string& error)>;
  void setScriptReadHook(ScriptReadHook hook) { m_scriptReadHook = std::move(hook); }

 private:
  // True when SQL instance, database, user or password is missing (connections).
  bool credentialsIncomplete(bool needDatabase) const;
  // Completes the credentials from the registry; false with the last error set.
  bool completeCredentials(const char* missingFormat, bool needDatabase);
  // Reads "nSQLAuthType" (0 when it cannot be read).
  unsigned int readAuthType(std::string* error);
  unsigned int openConnection(RKSimpleDBConnObject*& slot, const std::string& database, bool storePlain);
  // Text of the whole file at path as it is to be sent (decoded, and expanded in sqlcmd
  // variable mode); false with "Cannot open file [%s]." or the script's problem set (or the
  // read hook's error when the hook refused).
  bool readScriptFile(const std::string& path, std::string& text);
  // readScriptFile's second half: turns the bytes read into the text to send and keeps where
  // its lines came from. False with the last error set.
  bool prepareScriptText(const std::string& path, std::string& text);
  // After a failed run of the last script read: when its lines moved (included files), adds
  // to the last error the file and line where the server's error stands.
  void addFailureLocation(const RKSimpleDBConnObject* connection, int preambleLines);
  bool ensureDBConnection();
  // Opens the product connection when needed and makes it the table framework's current
  // connection, and this object the process's current DBQueries. False with the last error set.
  bool useProductConnectionForTables();
  unsigned int populateObjectMap(const std::string& dbName, const char* objectType,
                                 std::map<std::string, int32_t>& names);
  bool ensureMasterConnection();
  // Closes and forgets the product-database connection, if one is open.
  void closeDBConnection();
  // Reads the script at path and fills it with args; false with the last error set
  // ("Cannot open file [%s].", the does-not-match text, or a refusal that names operation and
  // the argument, never its value).
  bool loadFormattedScript(const char* operation, const std::string& path,
                           const std::vector<zarezodud::ScriptArg>& args, std::string& text);
  // Shared shape of the release members whose success is a zero script integer: runs text
  // and, when failureText is given, sets it on any failure.
  unsigned int runForZeroResult(const std::string& text, const char* failureText);
  // After a failed script file run: replaces the last error with the timeout or cancel text
  // when the run was interrupted, and drops a product connection that is no longer open (the
  // server closed the session, or an interruption could not be cleaned up), so that the next
  // operation opens a new one.
  void afterFailedScript(const std::string& path, int transactionAbort);
  // Deletes the product connection and sets the slot to replacement, under the connection lock.
  void replaceDBConnection(RKSimpleDBConnObject* replacement);

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
  int32_t m_scriptTimeout = -1;  // -1: not read yet
  int m_runTimeout = 0;          // the limit of the script file run under way
  std::mutex m_connectionMutex;  // guards m_dbConnection's replacement against cancelRunningScript()
  zarezodud::ScriptSettings m_scriptSettings;
  zarezodud::HostSettings m_hostSettings;
  // The files and line origins of the last script read (its text is not kept).
  std::unique_ptr<zarezodud::ScriptText> m_preparedScript;  // null until a script is read
  RKSimpleDBConnObject* m_dbConnection;
  RKSimpleDBConnObject* m_masterConnection;
  ScriptReadHook m_scriptReadHook;
};

// Reads one registry value: a string when textOut is given (textLength: buffer size in, value
// length out), else an unsigned 32-bit number into numberOut. 1 or 0 with error set.
ZAREZODUD_API unsigned int readRegistry(std::string registryBase, std::string controlSetName,
                                        std::string keyPath, std::string valueName, unsigned int* numberOut,
                                        char* textOut, unsigned long* textLength, std::string& error);
// Fetches and decrypts the stored SQL user and password, and the optional instance and DSN.
ZAREZODUD_API unsigned int getDBUser(std::string registryBase, std::string controlSetName,
                                     std::string dbAccessRegistryPath, std::string dsnValueName,
                                     std::string sqlInstanceValueName, std::string sqlUserValueName,
                                     std::string& dsnOut, std::string& sqlInstanceOut, std::string& userOut,
                                     std::string& passwordOut, std::string& error);
// Brings the clients' service-pack version strings up to date through the product services, on
// the product database of the process's current DBQueries (the live one that last opened its
// product connection or made it the table framework's current one; db/current_db_queries.h). 1 on success;
// else 0 with error "Failed to update the version string for the Clients in CH DB." (also when
// there is no current DBQueries).
ZAREZODUD_API int addClientSPVersionString(std::string& error);

// The SQL Server connection string; only the masked form may be logged.
ZAREZODUD_API std::string getSQLServerConnectionString(std::string server, std::string database,
                                                       std::string user, std::string password,
                                                       bool withDriver, bool trusted, bool masked);

#endif
