// INIFileProcessor: the phase engine object through which an upgrade program drives the
// engine. It reads the product configuration file (supported products, per-product database
// and registry locations) and the phase configuration file (phase sections), validates and
// processes phases, runs their SQL, batch and executable lists, and holds the state that a
// service-pack upgrade's script selection needs.
//
// The processor is an INIFileReader: every operation selects the file it reads (product or
// phase configuration) before its first lookup.
//
// Thread-safety: one processor is used from one thread. Constructing a processor points the
// process-wide utility log at the parameters' log file.
#ifndef ZAREZODUD_ENGINE_INI_FILE_PROCESSOR_H
#define ZAREZODUD_ENGINE_INI_FILE_PROCESSOR_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/ini_file_reader.h"
#include "db/db_queries.h"
#include "engine/phase_section.h"
#include "engine/product_info.h"
#include "log/result_messages.h"
#include "engine/script_observer.h"
#include "engine/script_position.h"
#include "engine/zarezodud_params.h"
#include "export.h"

class RunJournal;
namespace zarezodud {
class PhaseChain;
class ProfileSnapshot;
}

class ZAREZODUD_API INIFileProcessor : public INIFileReader {
 public:
  using NameMap = std::map<std::string, int32_t>;
  using TimeMap = std::map<std::string, int64_t>;

  // Copies the parameters and makes their log file the utility log's file.
  INIFileProcessor(const ZARezodudParams& params, int32_t progressFlag);
  ~INIFileProcessor();
  INIFileProcessor(const INIFileProcessor&) = delete;
  INIFileProcessor& operator=(const INIFileProcessor&) = delete;

  // Replaces the stored parameters; nothing else changes (the utility log stays where it is).
  void setZARezodudParams(ZARezodudParams& params);
  const ZARezodudParams& getZARezodudParams() const { return m_params; }
  // Share of the caller's progress scale that this processor's runs cover; no range check.
  void setPercentCoverage(int32_t percent) { m_percentCoverage = percent; }
  // Sets the total and the executed script counts to 0.
  void resetTotalScriptsCount();

  // Product configuration. Each returns 1 on success, 0 on failure (with the reason in the
  // upgrade log); the out-parameters keep their values on failure.
  unsigned int readProductInfo(std::string productName, ProductInfo& info);
  std::vector<std::string> getSupportedProductList();
  unsigned int isSupportedProduct(std::string productName);
  unsigned int getDBConnectionInfo(std::string productName, std::string& baseRegistryPath,
                                   std::string& registryPathForDBAccess, std::string& registryNameForDSN,
                                   std::string& registryNameForSQLInstance,
                                   std::string& registryNameForSQLUser);
  unsigned int getUpdateInfo(std::string productName, std::string& baseRegistryPath,
                             std::string& registryPathForUpdateSummary, std::string& registryNameForSPLevel);
  unsigned int geSoftwareCacheInfo(std::string productName, std::string& baseRegistryPath,
                                   std::string& registryPathForSoftwareCache,
                                   std::string& registryNameForSoftwareCache);

  // Phase sections: fills section from the phase configuration file's section `phaseName`
  // for the parameters' release; 1 for a supported release, else 0 (the section's existence
  // is not tested).
  unsigned int readPhase(std::string phaseName, PhaseSection& section);

  // Validation: 1 when the phase, its sub-modules and everything they name are valid.
  unsigned int validatePhase(std::string phaseName);
  // 1 when every script line of the list is valid; records modification times and counts.
  unsigned int checkFileExists(std::string phaseName, std::string commandType, std::string phaseDirectory,
                               std::string listFileName);
  // 1 with the file's modification time (seconds since 1970) in modifiedTime, else 0 and
  // modifiedTime untouched.
  unsigned int getFileModifiedTime(std::string path, int64_t& modifiedTime);

  // Service-pack selection state. Each returns 1 on success, 0 on failure (reason in the
  // upgrade log). The recut time comes from DVDInfo.txt (release 16, service pack 16 or lower)
  // or DVDInfo.xml beside the database scripts directory.
  unsigned int getRecutTimeFromDVDInfo(int32_t release, int32_t servicePack);
  unsigned int populateFuncMapINI(std::string dbName);
  unsigned int populateSPMapINI(std::string dbName);
  unsigned int populateCommonSQLFilesList();

  // Creates the processor's database object on first need (direct form from the parameters'
  // credentials, registry form otherwise); 1 when the processor has one afterwards.
  unsigned int initializeDBObject();
  // How the scripts of this processor's runs are read (code page, sqlcmd variable mode); passed
  // on to the database object, now and when it is created.
  void setScriptSettings(const zarezodud::ScriptSettings& settings);
  const zarezodud::ScriptSettings& getScriptSettings() const { return m_scriptSettings; }
  // This processor's own host settings (platform/host_settings.h), handed to its database
  // object: their output directory, ODBC attributes and login timeout apply to this processor's
  // connections only, so two processors in one process can upgrade two databases at once.
  void setHostSettings(const zarezodud::HostSettings& settings);
  const zarezodud::HostSettings& getHostSettings() const { return m_hostSettings; }
  // The database object, or null before initializeDBObject succeeded. Owned by the processor.
  DBQueries* getDBObject() const { return m_dbObject.get(); }

  // Phase processing: runs the phase's pre-command lists, sub-modules and post-command lists.
  // 1 when nothing failed; returnCode receives the merged code; record is the position record
  // (resume flag 1 = continue where it points). A null record uses a fresh one of its own.
  unsigned int processPhase(std::string phaseName, int& returnCode, RKZARezodud::ProcessPhase& record);
  unsigned int processPhase(std::string phaseName, int& returnCode, RKZARezodud::ProcessPhase* record);

  // List runners: 1 when the list ran without a failure that counts, else 0; listReturnCode
  // receives the list's merged code; record's current script and resume flag are maintained.
  unsigned int executeSQLList(std::string phaseDirectory, std::string listFileName, int& listReturnCode,
                              int terminateOnError, int checkReturnValue, std::string quotedIdentifier,
                              RKZARezodud::ProcessPhase& record);
  unsigned int executeBatchList(std::string phaseDirectory, std::string listFileName, int& listReturnCode,
                                int terminateOnError, int checkReturnValue,
                                RKZARezodud::ProcessPhase& record);
  unsigned int executeExecutableList(std::string phaseDirectory, std::string listFileName,
                                     int& listReturnCode, int terminateOnError, int checkReturnValue,
                                     RKZARezodud::ProcessPhase& record);

  // The per-script results of this processor's runs ("PreUpgrade" stage with XML output).
  RKZARezodud::UpgradePhase& getUpgradePhase() { return m_upgradePhase; }
  RKZARezodud::UpgradeResults& getUpgradeResults() { return m_upgradeResults; }

  // Installs an observer (not owned; null removes it).
  void setScriptObserver(ScriptObserver* observer) { m_observer = observer; }

  // Installs a run journal (not owned; null removes it). While one is installed, processing
  // records every phase, stage, list and script in it, passes over each script that the
  // journal reports as completed in an earlier session (merging its recorded code), and stops
  // before the next script when a record cannot be written.
  void setRunJournal(RunJournal* journal);
  RunJournal* getRunJournal() const { return m_journal; }

  // Asks processing to stop before its next script: the list in progress ends as failed
  // (return code 2), and so do the phase and its parents. Callable from any thread while
  // processPhase runs; reason goes to the upgrade and phase logs. Stays set until clearStop().
  void requestStop(const std::string& reason);
  bool stopRequested() const { return m_stopRequested.load(); }
  std::string stopReason() const;
  void clearStop();

  // Read access to the processor's counters and selection state.
  int32_t getProgressFlag() const { return m_progressFlag; }
  int32_t getTotalScriptsCount() const { return m_totalScriptsCount; }
  int32_t getExecutedScriptsCount() const { return m_executedScriptsCount; }
  int32_t getPercentCoverage() const { return m_percentCoverage; }
  int64_t getRecutTime() const { return m_recutTime; }
  const NameMap& getFuncMap() const { return m_funcMap; }
  const NameMap& getSPMap() const { return m_spMap; }
  const NameMap& getCommonSQLFileMap() const { return m_commonSQLFileMap; }
  const TimeMap& getUpgradeScriptTimes() const { return m_upgradeScriptTimes; }
  const TimeMap& getTableScriptTimes() const { return m_tableScriptTimes; }
  const TimeMap& getDBFunctionTimes() const { return m_dbFunctionTimes; }
  const TimeMap& getDBStoredProcedureTimes() const { return m_dbStoredProcedureTimes; }

  // Direct entry into the selection state for a host that computes it itself (and for tests).
  // The name maps keep the first value stored for a name, as the populate operations do.
  void setRecutTime(int64_t recutTime) { m_recutTime = recutTime; }
  void addToFuncMap(const std::string& name) { m_funcMap.emplace(name, 0); }
  void addToSPMap(const std::string& name) { m_spMap.emplace(name, 0); }
  void addToCommonSQLFileMap(const std::string& name) { m_commonSQLFileMap.emplace(name, 0); }

 private:
  // The phase directory: the configuration file's directory, "/", the phase's Directory.
  std::string phaseDirectory(const PhaseSection& section) const;
  // The modification-time map that a phase name selects, or null.
  TimeMap* timeMapForPhase(const std::string& phaseName);
  // Walks a batch or executable list (nothing is started).
  unsigned int walkList(const char* context, const std::string& phaseDirectory,
                        const std::string& listFileName, int& listReturnCode,
                        RKZARezodud::ProcessPhase& record);
  // Runs one pre- or post-command stage's lists; false when the phase must stop at once.
  bool runCommandLists(const std::string& phaseName, const std::string& directory,
                       const std::string& commandType, const std::vector<std::string>& lists,
                       int terminateOnError, int checkReturnValue, const std::string& quotedIdentifier,
                       int& returnCode, unsigned int& success, RKZARezodud::ProcessPhase& record);
  void notifyPosition();
  // The body of processPhase, between the journal's phase records.
  unsigned int processPhaseSections(const std::string& phaseName, int& returnCode,
                                    RKZARezodud::ProcessPhase& record);
  // The one place where a run stops before a script: true (with the stop logged and the list
  // marked failed) when a stop was requested.
  bool stopBeforeScript(const char* context, const std::string& scriptPath, int& listReturnCode);
  // After a list or sub-module: true (with the stop logged) when a stop was requested.
  bool stopAfterStep(const std::string& phaseName);
  void logStop(const char* context, const std::string& message);
  // With a journal: true when the script at the current position completed in an earlier
  // session; its recorded code is merged and the observer told.
  bool passCompletedScript(const char* context, const std::string& list, const std::string& scriptPath,
                           int& listReturnCode);
  // Journal record of a script's end; a failed write stops processing.
  void recordScriptEnd(const std::string& scriptPath, const std::string& sha256, bool succeeded, int code,
                       double seconds);
  // Makes the database object report each script it reads, so that the journal's start record
  // carries the digest of the bytes that run.
  void installScriptReadHook();
  // The current position's list part for a list run (when a host runs a list directly, the
  // list is the one named).
  void enterList(const std::string& listFileName, const RKZARezodud::ProcessPhase& record);
  // Looks for the phase's section and reads one of its keys: through the snapshot during
  // validation, else from the file. Results as INIFileReader::findSection / readKeyValue.
  int findPhaseSection(const std::string& phaseName);
  int readPhaseKey(const std::string& phaseName, const char* key, std::string& value);
  // The message for a phase configuration file that could not be read (a NUL byte names its
  // line).
  std::string phaseFileProblem();
  // Validates one command part (type, environment files, list files) of a phase.
  unsigned int validateCommandPart(const std::string& phaseName, const std::string& commandType,
                                   const std::vector<std::string>& environmentFiles,
                                   const std::vector<std::string>& listFiles, const std::string& directory);

  ZARezodudParams m_params;
  int32_t m_progressFlag;
  int32_t m_totalScriptsCount;
  int32_t m_executedScriptsCount;
  int32_t m_percentCoverage;
  NameMap m_funcMap;
  NameMap m_spMap;
  TimeMap m_upgradeScriptTimes;
  TimeMap m_tableScriptTimes;
  TimeMap m_dbFunctionTimes;
  TimeMap m_dbStoredProcedureTimes;
  NameMap m_commonSQLFileMap;
  int64_t m_recutTime;
  RKZARezodud::UpgradePhase m_upgradePhase;
  RKZARezodud::UpgradeResults m_upgradeResults;
  std::unique_ptr<DBQueries> m_dbObject;
  ScriptObserver* m_observer = nullptr;
  zarezodud::ScriptSettings m_scriptSettings;
  zarezodud::HostSettings m_hostSettings;
  // The position record of the outermost processPhase call in progress (observer support).
  RKZARezodud::ProcessPhase* m_rootRecord = nullptr;
  // Phases being visited by validation or processing, outermost first (cycle guard).
  std::unique_ptr<zarezodud::PhaseChain> m_phaseChain;  // the phases being visited
  // The phase configuration file as read when the outermost validatePhase call began; its
  // lookups stand in for reading the file again for every phase (null outside validation).
  std::unique_ptr<zarezodud::ProfileSnapshot> m_phaseSnapshot;
  RunJournal* m_journal = nullptr;
  // Where processing stands (the journal's and the resume check's position).
  ScriptPosition m_position;
  // The SHA-256 of the script being run, as read (for its finished record).
  std::string m_scriptSha256;
  bool m_scriptStartPending = false;
  std::atomic<bool> m_stopRequested{false};
  mutable std::mutex m_stopMutex;
  std::string m_stopReason;
  bool m_stopLogged = false;
};

#endif
