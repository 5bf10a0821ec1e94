// zarezodud run: validates and processes a phase against the database, with a progress
// display, a run journal that the engine keeps (one durable record per finished script, so
// that --resume continues exactly where an interrupted or failed run stopped), per-database
// locks on the host and on the server, and a JSON run report beside the XML script results.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "base/atomic_file.h"
#include "base/numbers.h"
#include "commands.h"
#include "database_lock.h"
#include "engine/ini_file_processor.h"
#include "engine/run_journal.h"
#include "engine_support.h"
#include "json_writer.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"
#include "param_file.h"
#include "platform/fs/host_lock.h"
#include "platform/odbc/recording_connection.h"
#include "platform/process/interrupt_signals.h"
#include "progress_display.h"
#include "result_json.h"
#include "resume_position.h"
#include "run_interruption.h"
#include "run_state.h"
#include "script_events.h"
#include "script_options.h"
#include "state_directory.h"

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
  ScriptOptions scripts;
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

// Shows progress as scripts run and keeps them for the report.
class RunObserver : public ScriptEventRecorder {
 public:
  RunObserver(ProgressDisplay& progress, std::shared_ptr<zarezodud::RecordingSink> sink)
      : m_progress(progress), m_sink(std::move(sink)) {}

  void onScriptStart(const std::string& phase, const std::string& list,
                     const std::string& scriptPath) override {
    ScriptEventRecorder::onScriptStart(phase, list, scriptPath);
    if (m_sink) m_sink->setCurrentScript(scriptPath);
    m_progress.scriptStarted(scriptPath);
  }

  void onScriptEnd(const std::string& phase, const std::string& list, const std::string& scriptPath, int code,
                   bool succeeded, double seconds) override {
    ScriptEventRecorder::onScriptEnd(phase, list, scriptPath, code, succeeded, seconds);
    if (m_sink) m_sink->setCurrentScript(std::string());
    m_progress.scriptEnded(scriptPath, code, succeeded, seconds);
  }

  void onScriptSkipped(const std::string& phase, const std::string& list, const std::string& scriptPath,
                       const std::string& reason) override {
    ScriptEventRecorder::onScriptSkipped(phase, list, scriptPath, reason);
    m_progress.scriptSkipped(scriptPath, reason);
  }

  void onScriptDoneEarlier(const std::string& phase, const std::string& list, const std::string& scriptPath,
                           int code) override {
    ScriptEventRecorder::onScriptDoneEarlier(phase, list, scriptPath, code);
    m_progress.scriptDoneEarlier();
  }

 private:
  ProgressDisplay& m_progress;
  std::shared_ptr<zarezodud::RecordingSink> m_sink;
};

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// Parses --backend; false for an unknown form.
bool parseBackend(const std::string& text, std::string& recordFile) {
  if (text.empty() || text == "odbc") return true;
  if (text.rfind("record:", 0) == 0 && text.size() > 7) {
    recordFile = text.substr(7);
    return true;
  }
  return false;
}

int64_t recordDelayMs() {
  const char* text = std::getenv("ZAREZODUD_RECORD_DELAY_MS");
  int64_t value = 0;
  return text != nullptr && zarezodud::parseDecimal(text, 1, 59999, value) ? value : 0;
}

// Writes the JSON report; false (with the reason printed) when it could not be written.
// interruptedBy: the signal's name when one interrupted the phase, else "".
bool writeReport(const std::string& path, const RunJournalIdentity& identity,
                 const ScriptEventRecorder& events, bool resumed, unsigned int succeeded, int returnCode,
                 int exitCode, const std::string& interruptedBy, const std::string& xmlPath,
                 const RKZARezodud::UpgradePhase& results) {
  // Written as it is built: a report lists every script, and a run may have many thousand.
  const auto produce = [&](const std::function<bool(std::string_view)>& write) {
    JsonWriter w;
    w.streamTo(write);
    w.beginObject();
    w.key("phase").value(identity.phase).key("product").value(identity.product);
    w.key("database").value(identity.database).key("resumed").value(resumed);
    w.key("succeeded")
        .value(succeeded != 0)
        .key("returnCode")
        .value(returnCode)
        .key("exitCode")
        .value(exitCode);
    w.key("interrupted").value(!interruptedBy.empty());
    if (!interruptedBy.empty()) w.key("signal").value(interruptedBy);
    w.key("scriptResults").value(xmlPath);
    // The same per-script results as the XML file, for readers of JSON.
    w.key("results").beginArray();
    const auto scripts = results.scripts();
    for (std::size_t i = 0; i < scripts.size(); ++i) writeScriptJson(w, scripts.at(i));
    w.endArray();
    events.writeJson(w);
    w.endObject();
    return w.flush();
  };
  const zarezodud::Status written = zarezodud::writeFileAtomically(path, produce);
  if (!written.ok()) printError("cannot write the run report: " + written.message());
  return written.ok();
}

int usage(const std::string& message) {
  printError(message + " (see zarezodud run --help)");
  return kExitUsage;
}

// The instance the database object reached (the parameters' or the registry's).
std::string connectedInstance(DBQueries& db) {
  std::string server, user, password;
  unsigned int authType = 0;
  if (!db.getConnectionInfo(server, user, password, authType)) server.clear();
  password.assign(password.size(), '\0');
  return server;
}

int runPhase(RunOptions options) {
  const bool resuming = !options.resumeFile.empty();
  std::string statePath;
  std::string error;
  RunJournalReplay replay;

  if (resuming) {
    if (!options.paramsFile.empty() || !options.phase.empty() || !options.overrides.empty() ||
        hasScriptOptions(options.scripts)) {
      return usage(
          "--resume takes its parameters and phase from the run journal; drop --params, --set, --var, "
          "--script-codepage and PHASE");
    }
    statePath = absolutePath(options.resumeFile);
    options.stateDir = std::filesystem::path(statePath).parent_path().string();
    if (!RunJournal::checkDirectory(options.stateDir, error)) {
      printError(statePath + ": not resumed: the directory cannot be trusted: " + error +
                 ". Another user could have written the journal.");
      return kExitFailure;
    }
    if (!RunJournal::read(statePath, replay, error)) {
      printError(statePath + ": not resumed: " + error);
      return kExitFailure;
    }
    if (replay.runFinished && replay.runSucceeded) {
      std::cout << "Nothing to resume: the run recorded in " << statePath << " finished.\n";
      return kExitSuccess;
    }
    const RunSettings settings = RunSettings::fromReplay(replay);
    options.paramsFile = replay.identity.paramsFile;
    options.overrides = settings.overrides;
    options.phase = replay.identity.phase;
    if (options.reportFile.empty()) options.reportFile = settings.reportFile;
    if (options.backend.empty()) options.backend = settings.backend;
  } else {
    if (options.paramsFile.empty() || options.phase.empty()) {
      return usage("run needs --params FILE and PHASE, or --resume JOURNAL");
    }
    if (options.force) return usage("--force applies only with --resume");
    // Kept with the overrides, so that a resumed run reads its scripts the same way.
    if (!appendScriptOverrides(options.scripts, options.overrides, error)) return usage(error);
  }
  std::string recordFile;
  if (!parseBackend(options.backend, recordFile)) {
    return usage("--backend must be odbc or record:FILE, not [" + options.backend + "]");
  }
  // The journal keeps absolute paths so that a resume works from any directory.
  if (!recordFile.empty()) {
    recordFile = absolutePath(recordFile);
    options.backend = "record:" + recordFile;
  }

  ParamLoadResult loaded = loadParamFile(options.paramsFile, options.overrides);
  if (!loaded.ok) {
    printError(loaded.error);
    return loaded.exitCode;
  }
  ZARezodudParams& params = *loaded.params;
  // The rehearsal backend needs no credentials; the identity is taken before placeholders.
  RunJournalIdentity identity = identityOf(params, loaded.file, options.phase);
  if (resuming) {
    // A resume continues the same run: against another product, server or database it
    // would skip there what ran elsewhere. --force does not override this.
    const std::string difference = identity.differenceFrom(replay.identity);
    if (!difference.empty()) {
      printError(statePath + ": the parameters no longer match the interrupted run (" + difference +
                 "). Restore them, or start a new run after removing the journal.");
      return kExitFailure;
    }
  }

  if (!resuming) {
    if (options.stateDir.empty()) options.stateDir = defaultStateDirectory();
    options.stateDir = absolutePath(options.stateDir);
    if (!prepareStateDirectory(options.stateDir, error)) {
      printError(error + ". Choose another --state-dir.");
      return kExitFailure;
    }
  }
  const std::string key = fileKey(params.DBname());
  if (!resuming) statePath = options.stateDir + "/" + key + ".journal";
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

  std::error_code ec;
  if (!resuming &&
      std::filesystem::symlink_status(statePath, ec).type() != std::filesystem::file_type::not_found) {
    RunJournalReplay previous;
    if (!RunJournal::read(statePath, previous, error)) {
      printError(statePath + " cannot be used: " + error + ". Remove it to start afresh.");
      return kExitFailure;
    }
    if (!previous.runFinished || !previous.runSucceeded) {
      printError(statePath + " holds an unfinished run. Resume it with: zarezodud run --resume " + statePath +
                 " (or remove the file to start afresh).");
      return kExitFailure;
    }
  }

  if (!recordFile.empty()) supplyPlaceholders(params);
  std::shared_ptr<zarezodud::RecordingSink> sink;
  // Declared before the processor, so that on every way out the processor (and its
  // connections) goes first and the factory it was made with is handed back after it.
  std::optional<zarezodud::RecordingFactoryScope> recording;
  if (!recordFile.empty()) {
    sink = std::make_shared<zarezodud::RecordingSink>();
    if (!sink->openJournal(recordFile, error)) {
      printError(error);
      return kExitFailure;
    }
    sink->setDelay(std::chrono::milliseconds(recordDelayMs()));
    recording.emplace(sink);
  }

  if (!startLogs(params, loaded.file, error)) {
    printError(error);
    return kExitFailure;
  }
  auto processor = std::make_unique<INIFileProcessor>(params, 1);
  processor->setScriptSettings(loaded.scripts);
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
  identity.instance = connectedInstance(*processor->getDBObject());

  if (resuming) {
    const std::string difference = identity.differenceFrom(replay.identity);
    if (!difference.empty()) {
      printError(statePath + ": the parameters no longer match the interrupted run (" + difference +
                 "). Restore them, or start a new run after removing the journal.");
      return kExitFailure;
    }
    std::vector<ScriptPosition> missing;
    if (!RunJournal::missingPositions(replay, *processor, options.phase, missing, error)) {
      printError(statePath + ": cannot compare the journal with phase [" + options.phase + "]: " + error);
      return kExitFailure;
    }
    if (!missing.empty() && !options.force) {
      printError(statePath + ": phase [" + options.phase + "] as configured now no longer has " +
                 std::to_string(missing.size()) + " script position(s) that the interrupted run recorded:\n" +
                 describePositions(missing) +
                 "Nothing was run. Restore the configuration (lists, release), or resume with --force to run "
                 "every script that has not finished.");
      return kExitFailure;
    }
    const std::vector<ChangedScript> changed = changedScripts(replay);
    if (!changed.empty() && !options.force) {
      const ChangedScript& first = changed.front();
      printError(statePath + ": the script to run again, " + first.path + ", " +
                 (first.readable ? "changed" : "can no longer be read") +
                 " since the interrupted run read it. Check it, then resume with --force to run it as it is "
                 "now.");
      return kExitFailure;
    }
    if (!missing.empty()) {
      std::cout << "Resuming although " << missing.size()
                << " recorded script position(s) are gone (--force); every script without a successful "
                   "finished record runs.\n";
    }
    if (replay.ignoredBytes > 0) {
      std::cout << "The journal ends with " << replay.ignoredBytes
                << " bytes that do not form a whole record (torn by the interruption); they were left out.\n";
    }
  }
  loadServicePackState(*processor, params, options.servicePack);
  if (options.scriptTimeout >= 0) processor->getDBObject()->setScriptTimeout(options.scriptTimeout);

  RunJournal journal;
  RunSettings settings;
  settings.overrides = options.overrides;
  settings.reportFile = options.reportFile;
  settings.backend = options.backend.empty() ? "odbc" : options.backend;
  if (!(resuming ? journal.resume(statePath, error)
                 : journal.start(statePath, identity, settings.toHostData(), error))) {
    printError(error + ". Choose a writable --state-dir.");
    return kExitFailure;
  }

  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  ProgressDisplay progress(terminal ? std::cerr : std::cout, terminal, processor->getTotalScriptsCount(), 0);
  RunObserver observer(progress, sink);
  processor->setScriptObserver(&observer);
  processor->setRunJournal(&journal);
  // A fresh position record: the journal, not the record, says what is left to run.
  RKZARezodud::ProcessPhase record;
  record.setPhaseName(options.phase);
  int returnCode = 0;
  INIFileProcessor* engine = processor.get();
  DBQueries* db = processor->getDBObject();
  RunInterruption interruption({[engine](const std::string& reason) { engine->requestStop(reason); },
                                [db]() { db->cancelRunningScript(); }},
                               STDERR_FILENO, terminal);
  if (!interruption.active()) {
    printError("Ctrl-C and SIGTERM will end the command at once: " + interruption.error());
  }
  const unsigned int succeeded = processor->processPhase(options.phase, returnCode, record);
  interruption.phaseEnded();
  // A signal that came as the last script ended leaves nothing to interrupt.
  const std::string interruptedBy = succeeded != 0 || interruption.signal() == 0
                                        ? std::string()
                                        : zarezodud::InterruptSignals::name(interruption.signal());
  if (!interruptedBy.empty()) {
    // The logs say why the script was cancelled, also when its failure ended the phase.
    const std::string message = "Processing of Phase [" + options.phase + "] was interrupted by " +
                                interruptedBy + "; it continues with: zarezodud run --resume " + statePath;
    ZARezodudLogger::LogLine("zarezodud run", "%s", message.c_str());
    UtilityLogger::LogToFile("zarezodud run", message, params.phaseLogFile());
  }
  processor->setRunJournal(nullptr);
  processor->setScriptObserver(nullptr);
  progress.finish();

  int exitCode = interruptedBy.empty() ? exitCodeFor(succeeded, returnCode) : kExitFailure;
  // A run whose upgrade log lost lines has no complete record: it fails, as one whose journal
  // could not be written does.
  if (!logsWritten(error)) {
    printError(error);
    exitCode = kExitFailure;
  }
  if (journal.failed()) {
    // Processing stopped before the next script; the journal holds everything up to here.
    printError("the run stopped: " + journal.error());
    exitCode = kExitFailure;
  } else if (!journal.finishRun(succeeded != 0, returnCode)) {
    printError("cannot finish the run journal: " + journal.error());
    exitCode = kExitFailure;
  } else if (!journal.compactionError().empty()) {
    printError("the run journal was not compacted (" + journal.compactionError() +
               "); it stays usable as it is.");
  }
  const std::string xmlPath = xmlBeside(options.reportFile);
  const zarezodud::Status resultsWritten =
      zarezodud::writeFileAtomically(xmlPath, processor->getUpgradePhase().serialize());
  bool reported = resultsWritten.ok();
  if (!reported) printError("cannot write the script results: " + resultsWritten.message());
  reported = writeReport(options.reportFile, identity, observer, resuming, succeeded, returnCode, exitCode,
                         interruptedBy, xmlPath, processor->getUpgradePhase()) &&
             reported;
  processor.reset();
  recording.reset();

  std::cout << "Phase [" << options.phase << "] " << (succeeded ? "finished" : "failed")
            << " with return code " << returnCode << ": " << observer.ranCount() << " script(s) run, "
            << observer.skippedCount() << " skipped, " << observer.failedCount() << " failed";
  if (observer.earlierCount() > 0)
    std::cout << "; " << observer.earlierCount() << " finished in an earlier run";
  std::cout << ".\n";
  if (reported) std::cout << "Report: " << options.reportFile << "\n";
  if (!interruptedBy.empty()) {
    std::cout << "The run was interrupted by " << interruptedBy
              << ". To continue where it stopped: zarezodud run --resume " << statePath << "\n";
  } else if (!succeeded || journal.failed()) {
    std::cout << "To continue after fixing the cause: zarezodud run --resume " << statePath << "\n";
  }
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
                  "Directory of the run journal, lock file and default report (default: /var/lib/zarezodud "
                  "for root, else $XDG_STATE_HOME/zarezodud or ~/.local/state/zarezodud)");
  cmd->add_option("--report", options->reportFile,
                  "JSON run report (default <state-dir>/<database>-report.json); the XML script results go "
                  "beside it with the extension .xml");
  cmd->add_option("--backend", options->backend,
                  "odbc (default) or record:FILE, a rehearsal and test backend that touches no database, "
                  "appends each executed script's path to FILE and waits ZAREZODUD_RECORD_DELAY_MS per "
                  "script");
  cmd->add_option("--resume", options->resumeFile, "Continue the run recorded in this run journal");
  cmd->add_option("--service-pack", options->servicePack,
                  "Service pack being applied: its recut time decides which unchanged scripts a "
                  "service-pack upgrade (isServicePackUpgrade) skips");
  cmd->add_option("--script-timeout", options->scriptTimeout,
                  "Seconds each batch of a script may run before it is cancelled and the script fails "
                  "(0: no limit; default: registry value nScriptTimeoutSeconds, else no limit)")
      ->check(CLI::Range(0, 2147483647));
  addScriptOptions(cmd, options->scripts);
  cmd->add_flag("--force", options->force,
                "With --resume: resume although a script to run again changed, or recorded scripts are no "
                "longer in the phase");
  cmd->footer(
      "Parameter keys: productName DBname DBServer controlSet SQLInstance DSN userId password\n"
      "  commonScriptsDir databaseScriptsDir logfile phaseLogFile failedSrcLogFile PhaseName\n"
      "  ServicePackPrefix currentReleaseId isServicePackUpgrade isUpgradeRepair isRTMBuild\n"
      "  configFile productConfigFile xmlOutput. The password may come from ZAREZODUD_PASSWORD.\n"
      "Exit codes: 0 success, 1 warning, 2 failure, 64 usage error.\n"
      "Examples:\n"
      "  ZAREZODUD_PASSWORD=... zarezodud run --params examples/params.ini UpgradeDB --state-dir "
      "/var/lib/zz\n"
      "  zarezodud run --resume /var/lib/zz/Corehub.journal");
  return Command{cmd, [options]() { return runPhase(*options); }};
}

}  // namespace zcli
