// zarezodud_host: what an installer does with the engine library, in one small program.
//
//   zarezodud_host run    <install-dir> <record-file>
//   zarezodud_host resume <install-dir> <record-file>
//
// <install-dir> holds ProductConfig.ini, phases.ini and the phase's scripts; logs go to
// <install-dir>/logs. The SQL server comes from ZAREZODUD_HOST_SERVER ("host,port"), the login
// from ZAREZODUD_HOST_USER and ZAREZODUD_HOST_PASSWORD (never from an argument, never printed).
//
// "run" initialises the logs, fills the parameter record, validates the phase "PreUpgrade" and
// processes it. When the phase fails, the position record is written to <record-file> so that
// "resume", after the cause is mended, continues at the script that failed. Both print one
// line per script ("ran", "failed") and then the script results that the scripts reported.
// Exit codes: 0 success, 1 warning, 2 failure, 64 usage.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "db/return_codes.h"
#include "engine/ini_file_processor.h"
#include "log/result_messages.h"
#include "engine/script_observer.h"
#include "engine/zarezodud_params.h"
#include "log/zarezodud_logger.h"

namespace {

const char kPhase[] = "PreUpgrade";

// Prints each script as it ends; an installer would move its progress bar here.
class PrintingObserver : public ScriptObserver {
 public:
  void onScriptEnd(const std::string& phase, const std::string& list, const std::string& scriptPath, int code,
                   bool succeeded, double /*seconds*/) override {
    const std::string name = scriptPath.substr(scriptPath.rfind('/') + 1);
    std::cout << (succeeded ? "ran " : "failed ") << phase << "/" << list << "/" << name << " code " << code
              << "\n";
  }
};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool readFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return true;
}

// The parameter record an installer fills from what it knows about the installation.
ZARezodudParams makeParams(const std::string& dir) {
  ZARezodudParams params;
  params.setProductName("Corehub");
  params.setDBname("Corehub");
  params.setDBServer("SQL Server");
  params.setSQLInstance(environment("ZAREZODUD_HOST_SERVER"));
  params.setUserId(environment("ZAREZODUD_HOST_USER"));
  params.setPassword(environment("ZAREZODUD_HOST_PASSWORD"));
  params.setProductConfigFile(dir + "/ProductConfig.ini");
  params.setConfigFile(dir + "/phases.ini");
  params.setCommonScriptsDir(dir + "/Database/Common");
  params.setDatabaseScriptsDir(dir + "/Database/Scripts");
  params.setLogfile(dir + "/logs/upgrade.log");
  params.setPhaseLogFile(dir + "/logs/phase.log");
  params.setFailedSrcLogFile(dir + "/logs/failed_scripts.log");
  // The "PreUpgrade" stage with XML output 2 keeps a result for every script that describes
  // itself, and for every script that warned or failed.
  params.setPhaseName(kPhase);
  params.setXmlOutput(2);
  params.setCurrentReleaseId(16);
  params.setIsRTMBuild(true);
  return params;
}

void printResults(const RKZARezodud::UpgradePhase& results) {
  const auto scripts = results.scripts();
  for (std::size_t i = 0; i < scripts.size(); ++i) {
    const RKZARezodud::Script& script = scripts.at(i);
    std::cout << "result " << script.getName() << " [" << script.getDescription() << "] code "
              << script.getReturnCode() << "\n";
    const auto messages = script.errors();
    for (std::size_t m = 0; m < messages.size(); ++m) {
      const RKZARezodud::Error& message = messages.at(m);
      if (message.getSeverity() == 0) continue;
      std::cout << "  " << (message.getSeverity() == 2 ? "error: " : "warning: ") << message.getMessage() << "\n";
      if (!message.getAdvice().empty()) std::cout << "  advice: " << message.getAdvice() << "\n";
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[1]) != "run" && std::string(argv[1]) != "resume")) {
    std::cerr << "usage: zarezodud_host run|resume <install-dir> <record-file>\n";
    return 64;
  }
  const bool resuming = std::string(argv[1]) == "resume";
  const std::string dir = argv[2];
  const std::string recordFile = argv[3];

  // First call into the library: the upgrade log (and the script-time log beside it).
  if (!ZARezodudLogger::init(dir + "/logs/upgrade.log")) {
    std::cerr << "cannot start the upgrade log in " << dir << "/logs\n";
    return 2;
  }
  const ZARezodudParams params = makeParams(dir);
  // Progress flag 1: validation counts the scripts, and every tenth script run moves the
  // installer's progress value (registry) within the share given here.
  INIFileProcessor processor(params, 1);
  processor.setPercentCoverage(100);

  if (!processor.validatePhase(kPhase)) {
    std::cerr << "phase " << kPhase << " is not valid; see " << params.logfile() << "\n";
    return 2;
  }
  std::cout << "valid: " << processor.getTotalScriptsCount() << " script(s)\n";

  RKZARezodud::ProcessPhase record;
  if (resuming) {
    std::string xml, error;
    if (!readFile(recordFile, xml) || !record.unserialize(xml, &error)) {
      std::cerr << "cannot read the position record " << recordFile << " " << error << "\n";
      return 2;
    }
    // Resume flag 1: skip forward to the recorded list and script, and run that script again.
    record.setResumeFlag(1);
    std::cout << "resuming at " << record.getCurrentListFile() << "/" << record.getCurrentScript() << "\n";
  }
  record.setPhaseName(kPhase);

  PrintingObserver observer;
  processor.setScriptObserver(&observer);
  int returnCode = 0;
  const unsigned int succeeded = processor.processPhase(kPhase, returnCode, record);
  processor.setScriptObserver(nullptr);
  printResults(processor.getUpgradePhase());

  if (!succeeded) {
    std::ofstream out(recordFile, std::ios::binary | std::ios::trunc);
    out << record.serialize();
    std::cout << "failed with code " << returnCode << "; position saved to " << recordFile << "\n";
    return 2;
  }
  std::cout << "finished with code " << returnCode << "\n";
  if (isErrorCode(returnCode)) return 2;
  return isWarningCode(returnCode) ? 1 : 0;
}
