// zarezodud run: validates and processes a phase against the database, with a progress
// display, a state file rewritten atomically before and after every script (so that
// --resume can continue after a crash), per-database locks on the host and on the server,
// and a JSON run report beside the XML script results.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "commands.h"
#include "database_lock.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "json_writer.h"
#include "param_file.h"
#include "platform/host_lock.h"
#include "platform/recording_connection.h"
#include "platform/sha256.h"
#include "progress_display.h"
#include "result_json.h"
#include "resume_position.h"
#include "run_state.h"
#include "script_events.h"

namespace zcli {

namespace {

struct RunOptions {
  std::string paramsFile;
  std::vector<std::string> overrides;
  std::string phase;
  std::string stateDir;
  std::string reportFile;
  std::string backend;
  std::string resumeFile;
  bool force = false;
  int servicePack = -1;
  int scriptTimeout = -1;  // seconds; -1: the registry's nScriptTimeoutSeconds
};

// A database name made safe for a file name.
std::string fileKey(const std::string& database) {
  std::string key = database.empty() ? std::string("database") : database;
  for (char& c : key) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\') c = '_';
  }
  if (key == "." || key == "..") key = "_" + key;
  return key;
}

// The XML results file beside a JSON report: "x.json" gives "x.xml", anything else gains ".xml".
std::string xmlBeside(const std::string& report) {
  const std::string suffix = ".json";
  if (report.size() > suffix.size() &&
      report.compare(report.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return report.substr(0, report.size() - suffix.size()) + ".xml";
  }
  return report + ".xml";
}

// Persists the position and shows progress as scripts run.
class RunObserver : public ScriptEventRecorder {
 public:
  RunObserver(RunState& state, std::string statePath, ProgressDisplay& progress,
              std::shared_ptr<zarezodud::RecordingSink> sink)
      : m_state(state), m_statePath(std::move(statePath)), m_progress(progress), m_sink(std::move(sink)) {}

  void onPositionChanged(const RKZARezodud::ProcessPhase& record) override {
    ScriptEventRecorder::onPositionChanged(record);
    m_position = record.serialize();
  }

  void onScriptStart(const std::string& phase, const std::string& list,
                     const std::string& scriptPath) override {
    ScriptEventRecorder::onScriptStart(phase, list, scriptPath);
    std::string hex, error;
    if (!zarezodud::sha256File(scriptPath, hex, error)) hex.clear();
    m_state.currentScript = scriptPath;
    m_state.currentScriptSha256 = hex;
    m_state.scriptRunning = true;
    m_state.scriptSucceeded = false;
    m_state.journalMark = m_sink ? m_sink->journalLines() : -1;
    persist();
    if (m_sink) m_sink->setCurrentScript(scriptPath);
    m_progress.scriptStarted(scriptPath);
  }

  void onScriptEnd(const std::string& phase, const std::string& list, const std::string& scriptPath, int code,
                   bool succeeded, double seconds) override {
    ScriptEventRecorder::onScriptEnd(phase, list, scriptPath, code, succeeded, seconds);
    if (m_sink) m_sink->setCurrentScript(std::string());
    m_progress.scriptEnded(scriptPath, code, succeeded, seconds);
    m_state.scriptRunning = false;
    m_state.scriptSucceeded = succeeded;
    m_state.scriptsDone = m_progress.done();
    persist();
  }

  void onScriptSkipped(const std::string& phase, const std::string& list, const std::string& scriptPath,
                       const std::string& reason) override {
    ScriptEventRecorder::onScriptSkipped(phase, list, scriptPath, reason);
    m_progress.scriptSkipped(scriptPath, reason);
    m_state.scriptsDone = m_progress.done();
  }

  const std::string& stateError() const { return m_stateError; }

 private:
  void persist() {
    if (!m_position.empty()) m_state.positionXml = m_position;
    std::string error;
    if (!writeRunState(m_statePath, m_state, error) && m_stateError.empty()) {
      m_stateError = error;
      printError("cannot update the state file: " + error + "; a crash now could not be resumed.");
    }
  }

  RunState& m_state;
  std::string m_statePath;
  ProgressDisplay& m_progress;
  std::shared_ptr<zarezodud::RecordingSink> m_sink;
  std::string m_position;
  std::string m_stateError;
};

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// Parses --backend; false for an unknown form.
bool parseBackend(const std::string& text, std::string& journal) {
  if (text.empty() || text == "odbc") return true;
  if (text.rfind("record:", 0) == 0 && text.size() > 7) {
    journal = text.substr(7);
    return true;
  }
  return false;
}

int64_t recordDelayMs() {
  const char* text = std::getenv("ZAREZODUD_RECORD_DELAY_MS");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  return (*end == '\0' && value > 0 && value < 60000) ? value : 0;
}

void writeReport(const std::string& path, const RunState& state, const ScriptEventRecorder& events,
                 bool resumed, unsigned int succeeded, int returnCode, int exitCode,
                 const std::string& xmlPath, const RKZARezodud::UpgradePhase& results) {
  JsonWriter w;
  w.beginObject();
  w.key("phase").value(state.identity.phase).key("product").value(state.identity.product);
  w.key("database").value(state.identity.database).key("resumed").value(resumed);
  w.key("succeeded")
      .value(succeeded != 0)
      .key("returnCode")
      .value(returnCode)
      .key("exitCode")
      .value(exitCode);
  w.key("scriptResults").value(xmlPath);
  // The same per-script results as the XML file, for readers of JSON.
  w.key("results").beginArray();
  const auto scripts = results.scripts();
  for (std::size_t i = 0; i < scripts.size(); ++i) writeScriptJson(w, scripts.at(i));
  w.endArray();
  events.writeJson(w);
  w.endObject();
  std::string error;
  if (!writeFileAtomically(path, w.str(), error)) printError("cannot write the run report: " + error);
}

int usage(const std::string& message) {
  printError(message + " (see zarezodud run --help)");
  return kExitUsage;
}

int runPhase(RunOptions options) {
  const bool resuming = !options.resumeFile.empty();
  RunState state;
  std::string statePath;
  std::string error;

  if (resuming) {
    if (!options.paramsFile.empty() || !options.phase.empty() || !options.overrides.empty()) {
      return usage(
          "--resume takes its parameters and phase from the state file; drop --params, --set and PHASE");
    }
    if (!readRunState(options.resumeFile, state, error)) {
      printError(error);
      return kExitFailure;
    }
    if (state.status == "finished") {
      std::cout << "Nothing to resume: the run recorded in " << options.resumeFile << " finished.\n";
      return kExitSuccess;
    }
    statePath = options.resumeFile;
    options.paramsFile = state.paramsFile;
    options.overrides = state.overrides;
    options.phase = state.identity.phase;
    options.stateDir = std::filesystem::path(statePath).parent_path().string();
    if (options.stateDir.empty()) options.stateDir = ".";
    if (options.reportFile.empty()) options.reportFile = state.reportFile;
    if (options.backend.empty()) options.backend = state.backend;
  } else {
    if (options.paramsFile.empty() || options.phase.empty()) {
      return usage("run needs --params FILE and PHASE, or --resume STATE");
    }
    if (options.force) return usage("--force applies only with --resume");
  }
  std::string journal;
  if (!parseBackend(options.backend, journal)) {
    return usage("--backend must be odbc or record:JOURNAL, not [" + options.backend + "]");
  }
  // The state file keeps absolute paths so that a resume works from any directory.
  if (!journal.empty()) {
    journal = absolutePath(journal);
    options.backend = "record:" + journal;
  }

  ParamLoadResult loaded = loadParamFile(options.paramsFile, options.overrides);
  if (!loaded.ok) {
    printError(loaded.error);
    return loaded.exitCode;
  }
  ZARezodudParams& params = *loaded.params;
  // The rehearsal backend needs no credentials; the identity is taken before placeholders.
  const RunIdentity identity = RunIdentity::of(params, options.phase);

  if (resuming) {
    const std::string difference = identity.differenceFrom(state.identity);
    if (!difference.empty()) {
      printError(statePath + ": the parameters no longer match the interrupted run (" + difference +
                 "). Restore them, or start a new run after removing the state file.");
      return kExitFailure;
    }
    if (!state.currentScript.empty() && !state.currentScriptSha256.empty()) {
      std::string now;
      std::string readError;
      const bool readable = zarezodud::sha256File(state.currentScript, now, readError);
      if ((!readable || now != state.currentScriptSha256) && !options.force) {
        printError(
            statePath + ": the script to resume from, " + state.currentScript + ", " +
            (readable ? "changed" : "can no longer be read") +
            " since the interrupted run started it. Check it, then resume with --force to run it as it "
            "is now.");
        return kExitFailure;
      }
    }
  }

  if (options.stateDir.empty()) options.stateDir = ".";
  options.stateDir = absolutePath(options.stateDir);
  std::error_code ec;
  std::filesystem::create_directories(options.stateDir, ec);
  const std::string key = fileKey(params.DBname());
  if (!resuming) statePath = options.stateDir + "/" + key + ".state.json";
  if (options.reportFile.empty()) options.reportFile = options.stateDir + "/" + key + "-report.json";
  options.reportFile = absolutePath(options.reportFile);

  zarezodud::HostLock hostLock;
  const std::string lockPath = options.stateDir + "/" + key + ".lock";
  switch (hostLock.acquire(lockPath, error)) {
    case zarezodud::HostLock::Result::kAcquired:
      break;
    case zarezodud::HostLock::Result::kHeldElsewhere:
      printError("database [" + params.DBname() + "] is being upgraded by another run on this host (" +
                 error + "). Wait for it to end.");
      return kExitFailure;
    case zarezodud::HostLock::Result::kFailed:
      printError(error + ". Choose a writable --state-dir.");
      return kExitFailure;
  }

  if (!resuming && std::filesystem::exists(statePath, ec)) {
    RunState previous;
    std::string readError;
    if (!readRunState(statePath, previous, readError) || previous.status != "finished") {
      printError(statePath + " holds an unfinished run. Resume it with: zarezodud run --resume " + statePath +
                 " (or remove the file to start afresh).");
      return kExitFailure;
    }
  }

  if (!journal.empty()) supplyPlaceholders(params);
  std::shared_ptr<zarezodud::RecordingSink> sink;
  zarezodud::SQLConnectionFactory previousFactory;
  bool replacedFactory = false;
  if (!journal.empty()) {
    sink = std::make_shared<zarezodud::RecordingSink>();
    if (!sink->openJournal(journal, error)) {
      printError(error);
      return kExitFailure;
    }
    sink->setDelay(std::chrono::milliseconds(recordDelayMs()));
    previousFactory = zarezodud::installRecordingFactory(sink);
    replacedFactory = true;
  }

  if (!startLogs(params, loaded.file, error)) {
    printError(error);
    return kExitFailure;
  }
  auto processor = std::make_unique<INIFileProcessor>(params, 1);
  {
    LogTap tap;
    if (!processor->validatePhase(options.phase)) {
      for (const Problem& problem : validationProblems(tap.lines(), params.configFile())) {
        std::cerr << problem.file << ": " << problem.message << "\n";
      }
      printError("phase [" + options.phase + "] is not valid; nothing was run.");
      return kExitFailure;
    }
  }

  if (!processor->initializeDBObject() || processor->getDBObject() == nullptr) {
    printError("cannot set up the database access for product [" + params.productName() + "]; see " +
               params.logfile() + ".");
    return kExitFailure;
  }
  if (takeDatabaseLock(*processor->getDBObject(), params.DBname(), error) != DatabaseLockResult::kAcquired) {
    printError(error);
    return kExitFailure;
  }
  loadServicePackState(*processor, params, options.servicePack);
  if (options.scriptTimeout >= 0) processor->getDBObject()->setScriptTimeout(options.scriptTimeout);

  RKZARezodud::ProcessPhase record;
  if (resuming && !state.currentScript.empty()) {
    if (!record.unserialize(state.positionXml, &error)) {
      printError(statePath + ": the position record cannot be read: " + error);
      return kExitFailure;
    }
    record.setResumeFlag(1);
    record.setPhaseName(options.phase);
    // A script that ended before the interruption is not run again when the record can be
    // pointed past it. The record backend can also prove that an interrupted script ran to
    // its end (its journal grew); over ODBC that is unknown, so such a script runs again.
    // A script that failed is always run again: resuming is how a failure is retried.
    const bool provenByJournal = state.scriptRunning && !journal.empty() && state.journalMark >= 0 &&
                                 zarezodud::RecordingSink::countJournalLines(journal) > state.journalMark;
    const bool completed =
        state.status == "running" && ((!state.scriptRunning && state.scriptSucceeded) || provenByJournal);
    if (completed && advancePastCompletedScript(*processor, record, params.isUpgradeRepair())) {
      std::cout << "Resuming after " << state.currentScript << ", which completed before the interruption.\n";
    }
  } else if (resuming) {
    // Interrupted before its first script: there is no position to go to, so the phase
    // starts from its beginning (a resume flag would make the engine skip every stage).
    state.scriptsDone = 0;
  } else {
    state = RunState();
    state.paramsFile = loaded.file;
    state.overrides = options.overrides;
    state.reportFile = options.reportFile;
    state.backend = options.backend.empty() ? "odbc" : options.backend;
    state.identity = identity;
  }
  record.setPhaseName(options.phase);
  // A resumed run keeps the stored position until its first script starts, so that a crash
  // before then resumes from the same place again.
  if (!resuming) state.positionXml = record.serialize();
  state.status = "running";
  state.scriptsTotal = processor->getTotalScriptsCount();
  if (!writeRunState(statePath, state, error)) {
    printError(error + ". Choose a writable --state-dir.");
    return kExitFailure;
  }

  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  ProgressDisplay progress(terminal ? std::cerr : std::cout, terminal, state.scriptsTotal,
                           resuming ? state.scriptsDone : 0);
  RunObserver observer(state, statePath, progress, sink);
  processor->setScriptObserver(&observer);
  int returnCode = 0;
  const unsigned int succeeded = processor->processPhase(options.phase, returnCode, record);
  processor->setScriptObserver(nullptr);
  progress.finish();

  int exitCode = exitCodeFor(succeeded, returnCode);
  if (!observer.stateError().empty()) exitCode = kExitFailure;
  // A run whose upgrade log lost lines has no complete record: it fails, as with the state file.
  if (!logsWritten(error)) {
    printError(error);
    exitCode = kExitFailure;
  }
  state.positionXml = record.serialize();
  state.status = succeeded ? "finished" : "failed";
  state.scriptRunning = false;
  if (!writeRunState(statePath, state, error)) {
    printError(error);
    exitCode = kExitFailure;
  }
  const std::string xmlPath = xmlBeside(options.reportFile);
  if (!writeFileAtomically(xmlPath, processor->getUpgradePhase().serialize(), error)) {
    printError("cannot write the script results: " + error);
  }
  writeReport(options.reportFile, state, observer, resuming, succeeded, returnCode, exitCode, xmlPath,
              processor->getUpgradePhase());
  processor.reset();
  if (replacedFactory) zarezodud::setSQLConnectionFactory(previousFactory);

  std::cout << "Phase [" << options.phase << "] " << (succeeded ? "finished" : "failed")
            << " with return code " << returnCode << ": " << observer.ranCount() << " script(s) run, "
            << observer.skippedCount() << " skipped, " << observer.failedCount() << " failed.\n"
            << "Report: " << options.reportFile << "\n";
  if (!succeeded)
    std::cout << "To continue after fixing the cause: zarezodud run --resume " << statePath << "\n";
  return exitCode;
}

}  // namespace

Command addRunCommand(CLI::App& app) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* cmd = app.add_subcommand("run", "Validate and process a phase against the database");
  cmd->add_option("--params", options->paramsFile, "Parameter file (INI, section [Parameters])");
  // One value per --set, so that "--set k=v PHASE" leaves PHASE to the phase.
  cmd->add_option("--set", options->overrides, "Override a parameter: key=value (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("PHASE", options->phase, "Phase section to run");
  cmd->add_option("--state-dir", options->stateDir,
                  "Directory of the state file, lock file and default report (default: current directory)");
  cmd->add_option("--report", options->reportFile,
                  "JSON run report (default <state-dir>/<database>-report.json); the XML script results go "
                  "beside it with the extension .xml");
  cmd->add_option("--backend", options->backend,
                  "odbc (default) or record:JOURNAL, a rehearsal and test backend that touches no database, "
                  "appends each executed script's path to JOURNAL and waits ZAREZODUD_RECORD_DELAY_MS per "
                  "script");
  cmd->add_option("--resume", options->resumeFile, "Continue the run recorded in this state file");
  cmd->add_option("--service-pack", options->servicePack,
                  "Service pack being applied: its recut time decides which unchanged scripts a "
                  "service-pack upgrade (isServicePackUpgrade) skips");
  cmd->add_option("--script-timeout", options->scriptTimeout,
                  "Seconds each batch of a script may run before it is cancelled and the script fails "
                  "(0: no limit; default: registry value nScriptTimeoutSeconds, else no limit)")
      ->check(CLI::Range(0, 2147483647));
  cmd->add_flag("--force", options->force,
                "With --resume: resume although the script to resume from changed");
  cmd->footer(
      "Parameter keys: productName DBname DBServer controlSet SQLInstance DSN userId password\n"
      "  commonScriptsDir databaseScriptsDir logfile phaseLogFile failedSrcLogFile PhaseName\n"
      "  ServicePackPrefix currentReleaseId isServicePackUpgrade isUpgradeRepair isRTMBuild\n"
      "  configFile productConfigFile xmlOutput. The password may come from ZAREZODUD_PASSWORD.\n"
      "Exit codes: 0 success, 1 warning, 2 failure, 64 usage error.\n"
      "Examples:\n"
      "  ZAREZODUD_PASSWORD=... zarezodud run --params examples/params.ini UpgradeDB --state-dir "
      "/var/lib/zz\n"
      "  zarezodud run --resume /var/lib/zz/Corehub.state.json");
  return Command{cmd, [options]() { return runPhase(*options); }};
}

}  // namespace zcli
