// INIFileProcessor::initializeDBObject: the processor's one database object, created on first
// need from the parameters' credentials or from the registry locations that the product
// configuration names. No connection is opened here.
#include "engine/ini_file_processor.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"

unsigned int INIFileProcessor::initializeDBObject() {
  static const char* kContext = "INIFileProcessor::initializeDBObject";
  if (m_dbObject) return 1;

  std::string baseRegistryPath, dbAccessPath, dsnName, instanceName, userName;
  if (!getDBConnectionInfo(m_params.productName(), baseRegistryPath, dbAccessPath, dsnName, instanceName,
                           userName)) {
    const std::string message = zarezodud::formatMessage(
        "Failed to get database connection information from Product config file [%s] for Product [%s].",
        m_params.m_productConfigFile, m_params.m_productName);
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
    UtilityLogger::LogToFile(kContext, message, m_params.phaseLogFile());
    return 0;
  }

  unsigned int authType = 0;
  std::string error;
  if (!readRegistry(baseRegistryPath, m_params.controlSet(), dbAccessPath, "nSQLAuthType", &authType, nullptr,
                    nullptr, error)) {
    authType = 0;
  }

  if (m_params.m_SQLInstance[0] != '\0' && m_params.m_DBname[0] != '\0' && m_params.m_userId[0] != '\0' &&
      m_params.m_password[0] != '\0') {
    m_dbObject = std::make_unique<DBQueries>(m_params.DBServer(), m_params.SQLInstance(), m_params.DSN(),
                                             m_params.DBname(), m_params.userId(), m_params.password());
    if (authType == 1) m_dbObject->setDBRegistryPath(baseRegistryPath, m_params.controlSet(), dbAccessPath);
  } else {
    m_dbObject = std::make_unique<DBQueries>(m_params.DBServer(), baseRegistryPath, m_params.controlSet(),
                                             dbAccessPath, dsnName, instanceName, userName, m_params.DBname());
  }
  m_dbObject->setScriptSettings(m_scriptSettings);
  m_dbObject->setHostSettings(m_hostSettings);
  return 1;
}
