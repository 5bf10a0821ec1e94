#include "engine/ini_file_processor.h"

#include "engine/phase_chain.h"

#include <cstdio>

#include "config/profile_snapshot.h"
#include "config/profile_store.h"
#include "base/text_trim.h"
#include "base/comma_list.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

INIFileProcessor::INIFileProcessor(const ZARezodudParams& params, int32_t progressFlag)
    : m_params(params),
      m_progressFlag(progressFlag),
      m_totalScriptsCount(0),
      m_executedScriptsCount(0),
      m_percentCoverage(100),
      m_recutTime(0),
      m_phaseChain(std::make_unique<zarezodud::PhaseChain>()) {
  UtilityLogger::SetLogFileName(m_params.m_logfile);
}

INIFileProcessor::~INIFileProcessor() = default;

void INIFileProcessor::setZARezodudParams(ZARezodudParams& params) { m_params = params; }

void INIFileProcessor::setHostSettings(const zarezodud::HostSettings& settings) {
  m_hostSettings = settings;
  if (m_dbObject) m_dbObject->setHostSettings(settings);
}

void INIFileProcessor::setScriptSettings(const zarezodud::ScriptSettings& settings) {
  m_scriptSettings = settings;
  if (m_dbObject) m_dbObject->setScriptSettings(settings);
}

void INIFileProcessor::resetTotalScriptsCount() {
  m_totalScriptsCount = 0;
  m_executedScriptsCount = 0;
}

unsigned int INIFileProcessor::readProductInfo(std::string productName, ProductInfo& info) {
  static const char* kContext = "INIFileProcessor::readProductInfo";
  const std::string configFile = m_params.productConfigFile();
  if (configFile.empty()) {
    static const char* kMissing = "Product Config File Name is missing.";
    std::printf("%s\n", kMissing);
    std::fflush(stdout);
    ZARezodudLogger::LogLine(kContext, "%s", kMissing);
    return 0;
  }
  setINIFileName(configFile);
  info.clear();
  const int found = findSection(productName);
  if (found == PROFILE_READ_ERROR) {
    ZARezodudLogger::LogLine(kContext, "%s", ("Product configuration file " + readProblem()).c_str());
    return 0;
  }
  if (found != PROFILE_SUCCESS) {
    ZARezodudLogger::LogLine(kContext, "%s",
                             formatMessage("Product Info is missing in config file [%s] for Product [%s].",
                                           configFile.c_str(), productName.c_str())
                                 .c_str());
    return 0;
  }
  // A key whose line cannot be read must not pass for an empty one.
  int failed = PROFILE_SUCCESS;
  auto key = [&](const char* name) {
    std::string value;
    const int rc = readKeyValue(name, productName, value);
    if (rc != PROFILE_SUCCESS && failed == PROFILE_SUCCESS) failed = rc;
    return value;
  };
  ProductInfo read;
  read.DBName = key("DBName");
  read.DBServer = key("DBServer");
  read.Directory = key("Directory");
  read.CommonScriptsDir = key("CommonScriptsDir");
  read.DBValidationTableName = key("DBValidationTableName");
  read.BaseRegistryPath = key("BaseRegistryPath");
  read.RegistryPathForDBAccess = key("RegistryPathForDBAccess");
  read.RegistryNameForDSN = key("RegistryNameForDSN");
  read.RegistryNameForSQLInstance = key("RegistryNameForSQLInstance");
  read.RegistryNameForSQLUser = key("RegistryNameForSQLUser");
  read.RegistryPathForUpdateSummary = key("RegistryPathForUpdateSummary");
  read.RegistryPathForZARezodudPkgUpdateSummary = key("RegistryPathForZARezodudPkgUpdateSummary");
  read.RegistryNameForSPLevel = key("RegistryNameForSPLevel");
  read.RegistryPathForSoftwareCache = key("RegistryPathForSoftwareCache");
  read.RegistryNameForSoftwareCache = key("RegistryNameForSoftwareCache");
  if (failed == PROFILE_READ_ERROR) {
    ZARezodudLogger::LogLine(kContext, "%s", ("Product configuration file " + readProblem()).c_str());
    return 0;
  }
  info = read;
  return 1;
}

std::vector<std::string> INIFileProcessor::getSupportedProductList() {
  static const char* kContext = "INIFileProcessor::getSupportedProductList";
  static const char* kSection = "SupportedProducts";
  const std::string configFile = m_params.productConfigFile();
  setINIFileName(configFile);
  const int found = findSection(kSection);
  if (found == PROFILE_READ_ERROR) {
    ZARezodudLogger::LogLine(kContext, "%s", ("Product configuration file " + readProblem()).c_str());
    return {};
  }
  if (found != PROFILE_SUCCESS) {
    ZARezodudLogger::LogLine(
        kContext, "%s",
        formatMessage("Supported Product Info is missing in config file [%s].", configFile.c_str()).c_str());
    return {};
  }
  std::string names;
  if (readKeyValue("ProductName", kSection, names) == PROFILE_READ_ERROR) {
    ZARezodudLogger::LogLine(kContext, "%s", ("Product configuration file " + readProblem()).c_str());
    return {};
  }
  if (names.empty()) {
    ZARezodudLogger::LogLine(
        kContext, "%s",
        formatMessage("Supported Product Names are missing in config file [%s].", configFile.c_str())
            .c_str());
    return {};
  }
  return zarezodud::splitCommaList(names);
}

unsigned int INIFileProcessor::isSupportedProduct(std::string productName) {
  for (const std::string& name : getSupportedProductList()) {
    if (zarezodud::equalsIgnoreCase(name, productName)) return 1;
  }
  return 0;
}

unsigned int INIFileProcessor::getDBConnectionInfo(std::string productName, std::string& baseRegistryPath,
                                                   std::string& registryPathForDBAccess,
                                                   std::string& registryNameForDSN,
                                                   std::string& registryNameForSQLInstance,
                                                   std::string& registryNameForSQLUser) {
  ProductInfo info;
  unsigned int result = readProductInfo(productName, info);
  if (result) {
    baseRegistryPath = info.BaseRegistryPath;
    registryPathForDBAccess = info.RegistryPathForDBAccess;
    registryNameForDSN = info.RegistryNameForDSN;
    registryNameForSQLInstance = info.RegistryNameForSQLInstance;
    registryNameForSQLUser = info.RegistryNameForSQLUser;
  }
  return result;
}

unsigned int INIFileProcessor::getUpdateInfo(std::string productName, std::string& baseRegistryPath,
                                             std::string& registryPathForUpdateSummary,
                                             std::string& registryNameForSPLevel) {
  ProductInfo info;
  unsigned int result = readProductInfo(productName, info);
  if (result) {
    baseRegistryPath = info.BaseRegistryPath;
    registryPathForUpdateSummary = info.RegistryPathForUpdateSummary;
    registryNameForSPLevel = info.RegistryNameForSPLevel;
  }
  return result;
}

unsigned int INIFileProcessor::geSoftwareCacheInfo(std::string productName, std::string& baseRegistryPath,
                                                   std::string& registryPathForSoftwareCache,
                                                   std::string& registryNameForSoftwareCache) {
  ProductInfo info;
  unsigned int result = readProductInfo(productName, info);
  if (result) {
    baseRegistryPath = info.BaseRegistryPath;
    registryPathForSoftwareCache = info.RegistryPathForSoftwareCache;
    registryNameForSoftwareCache = info.RegistryNameForSoftwareCache;
  }
  return result;
}
