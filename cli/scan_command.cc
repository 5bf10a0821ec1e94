// zarezodud scan: turns a script output file (the server messages of one script run) into its
// result record, as XML (the record's serialized form) or JSON.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "commands.h"
#include "log/result_messages.h"
#include "json_writer.h"
#include "result_json.h"
#include "log/utility_logger.h"

namespace zcli {

namespace {

struct ScanOptions {
  std::string file;
  bool json = false;
};

int runScan(const ScanOptions& options) {
  std::ifstream probe(options.file, std::ios::binary);
  if (!probe || std::filesystem::is_directory(options.file)) {
    printError(options.file + ": cannot read the script output file. Check the path.");
    return kExitFailure;
  }
  probe.close();
  // The scanner opens the file read-only and reads it in blocks, where it is.
  RKZARezodud::Script script;
  std::string name = std::filesystem::path(options.file).filename().string();
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  script.setName(name);
  UtilityLogger::GetXMLMsgFromFile(options.file, script);
  if (script.getDescription().empty()) script.setDescription(name);
  if (options.json) {
    JsonWriter w;
    writeScriptJson(w, script);
    std::cout << w.str();
  } else {
    // Written as it is produced: the XML text is never held whole.
    script.serialize(std::cout);
  }
  std::cout.flush();
  if (!std::cout) {
    printError("cannot write the result record to standard output.");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

Command addScanCommand(CLI::App& app) {
  auto options = std::make_shared<ScanOptions>();
  CLI::App* cmd = app.add_subcommand("scan", "Turn a script output file into its result record");
  cmd->add_option("FILE", options->file, "Script output file (server messages of one script run)")
      ->required();
  cmd->add_flag("--json", options->json, "Print JSON instead of the record's XML");
  cmd->footer(
      "Marked messages (###ERROR###, ###WARNING###, ###ADVICE###, ###HEADER###, ###DATA###,\n"
      "###DESCRIPTION###) become the record's messages, advice, rows and description.\n"
      "Exit codes: 0 scanned, 2 unreadable file, 64 usage error.\n"
      "Example:\n  zarezodud scan /tmp/.qxsetup/tempOutputFile.txt --json");
  return Command{cmd, [options]() { return runScan(*options); }};
}

}  // namespace zcli
