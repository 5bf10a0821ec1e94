// DBQueries: the release and catalogue operations: release checks, version records, counts,
// static lists, package dependencies, job restarts, the Sim tables and the event-message
// catalogue. All run caller scripts on the product database with transaction abort on.
#include <cstdio>

#include "db/db_queries.h"
#include "db/product_services.h"
#include "db/script_formatter.h"
#include "log/format_message.h"

using zarezodud::formatMessage;
using zarezodud::ScriptArg;

namespace {

const char kQuotedIdentifier[] = "ON";
const int kAbortOn = 1;

const char kBuildTag[] = "BUILD80";

// "0(BUILD80)": the version of the Fleet Explorer, Corehub and Signet agent records.
std::string baseVersion() { return std::string("0(") + kBuildTag + ")"; }
// "11.0.0(BUILD80)": the version of the Signet component record.
std::string componentVersion() { return std::string("11.0.0(") + kBuildTag + ")"; }

}  // namespace

unsigned int DBQueries::runForZeroResult(const std::string& text, const char* failureText) {
  int result = 0;
  if (!executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier)) {
    if (failureText != nullptr) m_lastError = failureText;
    return 0;
  }
  if (result != 0) {
    if (failureText != nullptr) m_lastError = failureText;
    return 0;
  }
  return 1;
}

unsigned int DBQueries::isFleetExplorerInstalled(std::string scriptPath) {
  std::string text;
  if (!readScriptFile(scriptPath, text)) return 0;
  int result = 0;
  if (!executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier)) return 0;
  if (result != 0) {
    m_lastError = "Fleet Explorer is not installed.";
    return 0;
  }
  return 1;
}

unsigned int DBQueries::checkCurrentDBRelease(std::string scriptPath) {
  std::string text;
  if (!readScriptFile(scriptPath, text)) return 0;
  int code = 0;
  if (!executeSQLQueryAndReturnInt(text, code, kAbortOn, kQuotedIdentifier)) return 0;
  switch (code) {
    case 0:
      return 1;
    case -1:
      m_lastError = "Failed to check the software release. SimAllQuasarRel table missing.";
      break;
    case -2:
      m_lastError = "Failed to check the software release.";
      break;
    case 1:
      m_lastError = "Please upgrade Corehub Database before upgrading VAZ.";
      break;
    default:
      m_lastError = formatMessage("Failed to check the software release. Error code returned: %d.", code);
      break;
  }
  return 0;
}

unsigned int DBQueries::upgradeFEVersion(std::string scriptPath) {
  std::string text;
  if (!loadFormattedScript("DBQueries::upgradeFEVersion", scriptPath, {ScriptArg::fixed(baseVersion())},
                           text))
    return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::upgradeCHVersion(std::string scriptPath) {
  std::string text;
  if (!loadFormattedScript("DBQueries::upgradeCHVersion", scriptPath, {ScriptArg::fixed(baseVersion())},
                           text))
    return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::upgradeSignetAgentVersion(std::string scriptPath) {
  std::string text;
  if (!loadFormattedScript("DBQueries::upgradeSignetAgentVersion", scriptPath,
                           {ScriptArg::fixed(baseVersion())}, text))
    return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::upgradeSGNTVersion(std::string scriptPath) {
  std::string text;
  if (!loadFormattedScript("DBQueries::upgradeSGNTVersion", scriptPath,
                           {ScriptArg::fixed(componentVersion())}, text))
    return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::getNumberOfDeconfiguredClients(std::string scriptPath, int value, int& result) {
  std::string text;
  if (!loadFormattedScript("DBQueries::getNumberOfDeconfiguredClients", scriptPath, {value}, text)) return 0;
  return executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::getScriptRelease(std::string scriptPath, int value, int& result) {
  std::string text;
  if (!loadFormattedScript("DBQueries::getScriptRelease", scriptPath, {value}, text)) return 0;
  return executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::addRegistryStaticList(std::string scriptPath, std::string value) {
  std::string text;
  if (!loadFormattedScript("DBQueries::addRegistryStaticList", scriptPath, {value}, text)) return 0;
  return runForZeroResult(text, "Failed to add registry static list.");
}

unsigned int DBQueries::PopulatePkgDependenciesForAllOS(std::string scriptPath, std::string value) {
  std::string text;
  if (!loadFormattedScript("DBQueries::PopulatePkgDependenciesForAllOS", scriptPath, {value}, text)) return 0;
  return runForZeroResult(text, "Failed to populate package dependencies for all OS.");
}

unsigned int DBQueries::addAutomationStaticList(std::string scriptPath, std::string value) {
  std::string text;
  if (!loadFormattedScript("DBQueries::addAutomationStaticList", scriptPath, {value}, text)) return 0;
  return runForZeroResult(text, "Failed to add automation static list.");
}

unsigned int DBQueries::SortPackagesBasedOnDependency(std::string scriptPath) {
  std::string text;
  if (!readScriptFile(scriptPath, text)) return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::updateJobRestarts(std::string scriptPath) {
  std::string text;
  if (!readScriptFile(scriptPath, text)) return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::updateSimTables(std::string scriptPath) {
  std::string text;
  if (!readScriptFile(scriptPath, text)) return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::populateQuasarEventMessages(const char* path) {
  char buffer[zarezodud::kMessageBufferSize];
  std::snprintf(buffer, sizeof buffer, "%s", path != nullptr ? path : "");
  zarezodud::productServices().simPopulateQuasarEventMessages(*this, buffer);
  return 1;
}
