// zarezodud plan: processes a phase against a recording connection, so that no database is
// touched, and lists in order the phases, lists and every script that would run or that the
// service-pack rule would skip. Logs and the temporary output file go to a scratch directory
// that is removed afterwards.
#include <stdlib.h>

#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "json_writer.h"
#include "log/zarezodud_logger.h"
#include "param_file.h"
#include "platform/settings/host_settings.h"
#include "platform/odbc/recording_connection.h"
#include "script_events.h"
#include "script_options.h"

namespace zcli {

namespace {

struct PlanOptions {
  std::string paramsFile;
  std::vector<std::string> overrides;
  std::string phase;
  bool json = false;
  int servicePack = -1;
  ScriptOptions scripts;
};

int runPlan(const PlanOptions& options) {
  std::vector<std::string> overrides = options.overrides;
  std::string optionError;
  if (!appendScriptOverrides(options.scripts, overrides, optionError)) {
    printError(optionError);
    return kExitUsage;
  }
  ParamLoadResult loaded = loadParamFile(options.paramsFile, overrides);
  if (!loaded.ok) {
    printError(loaded.error);
    return loaded.exitCode;
  }
  ZARezodudParams& params = *loaded.params;
  if (params.m_configFile[0] == '\0') {
    printError(loaded.file + ": configFile is empty. Set configFile= to the phase configuration file.");
    return kExitFailure;
  }
  ScratchDir scratch;
  if (scratch.path().empty()) {
    printError("cannot create a scratch directory under $TMPDIR or /tmp; make one of them writable.");
    return kExitFailure;
  }
  // The plan writes its (empty) script output files in its scratch directory, not in the
  // output directory a real run uses.
  zarezodud::HostSettings settings = zarezodud::hostSettings();
  settings.outputDirectory = scratch.path();
  zarezodud::setHostSettings(settings);
  params.setLogfile(scratch.path() + "/upgrade.log");
  params.setPhaseLogFile(scratch.path() + "/phase.log");
  params.setFailedSrcLogFile(scratch.path() + "/failed.log");
  supplyPlaceholders(params);
  std::string error;
  if (!startLogs(params, loaded.file, error)) {
    printError(error);
    return kExitFailure;
  }

  auto sink = std::make_shared<zarezodud::RecordingSink>();
  zarezodud::RecordingFactoryScope recording(sink);  // outlives the processor made below
  auto processor = std::make_unique<INIFileProcessor>(params, 0);
  processor->setScriptSettings(loaded.scripts);
  int exitCode = kExitSuccess;
  ScriptEventRecorder recorder;
  int returnCode = 0;
  unsigned int processed = 0;
  {
    LogTap tap;
    const unsigned int valid = processor->validatePhase(options.phase);
    if (!valid) {
      for (const Problem& problem : validationProblems(tap.lines(), params.configFile())) {
        std::cerr << problem.file << ": " << problem.message << "\n";
      }
      printError("phase [" + options.phase + "] is not valid; run zarezodud validate for details.");
      exitCode = kExitFailure;
    }
  }
  if (exitCode == kExitSuccess) {
    loadServicePackState(*processor, params, options.servicePack);
    processor->setScriptObserver(&recorder);
    RKZARezodud::ProcessPhase record;
    record.setPhaseName(options.phase);
    LogTap tap;
    processed = processor->processPhase(options.phase, returnCode, record);
    processor->setScriptObserver(nullptr);
    if (!processed) {
      for (const auto& line : tap.lines()) {
        // Failures, and the reason a script cannot be sent ("Script [<file>] line <n>: ...").
        if (line.second.find("fail") != std::string::npos || line.second.find("Fail") != std::string::npos ||
            line.second.rfind("Script [", 0) == 0) {
          std::cerr << line.second << "\n";
        }
      }
    }
    exitCode = exitCodeFor(processed, returnCode);
  }
  if (!logsWritten(error)) {
    printError(error);
    exitCode = kExitFailure;
  }
  processor.reset();
  recording.restore();
  if (exitCode == kExitFailure && !processed && recorder.lists().empty()) return exitCode;

  if (options.json) {
    JsonWriter writer;
    writer.beginObject().key("phase").value(options.phase);
    recorder.writeJson(writer);
    writer.key("returnCode")
        .value(returnCode)
        .key("statements")
        .value(static_cast<int64_t>(sink->texts().size()));
    writer.endObject();
    std::cout << writer.str();
  } else {
    std::cout << recorder.text();
  }
  return exitCode;
}

}  // namespace

Command addPlanCommand(CLI::App& app) {
  auto options = std::make_shared<PlanOptions>();
  CLI::App* cmd = app.add_subcommand(
      "plan", "List, in order, every script a phase would run or skip, touching no database");
  cmd->add_option("--params", options->paramsFile, "Parameter file (INI, section [Parameters])")->required();
  // One value per --set, so that "--set k=v PHASE" leaves PHASE to the phase.
  cmd->add_option("--set", options->overrides, "Override a parameter: key=value (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_flag("--json", options->json, "Print the plan as JSON");
  cmd->add_option("--service-pack", options->servicePack,
                  "Service pack being applied: its recut time decides which unchanged scripts a "
                  "service-pack upgrade (isServicePackUpgrade) skips");
  addScriptOptions(cmd, options->scripts);
  cmd->add_option("PHASE", options->phase, "Phase section to plan")->required();
  cmd->footer(
      "The phase runs against a recording connection: every script is answered with success\n"
      "and code 0, logs go to a scratch directory removed afterwards. When the parameters lack\n"
      "connection details (DBServer, SQLInstance, DBname, userId, password), placeholders are\n"
      "used so that no registry lookup is needed; they are never sent anywhere.\n"
      "Exit codes: 0 planned, 2 invalid phase, 64 usage error.\n"
      "Example:\n  zarezodud plan --params examples/params.ini UpgradeDB --json");
  return Command{cmd, [options]() { return runPlan(*options); }};
}

}  // namespace zcli
