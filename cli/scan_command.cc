// zarezodud scan: turns a script output file (the server messages of one script run) into its
// result record, as XML (the record's serialized form) or JSON.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/result_messages.h"
#include "engine_support.h"
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
  // The scanner opens its file for update; scanning a private copy lets read-only files
  // (and files of other users) be scanned without touching them.
  ScratchDir scratch;
  const std::string copy = scratch.path() + "/output.txt";
  std::error_code ec;
  if (scratch.path().empty() || !std::filesystem::copy_file(options.file, copy, ec)) {
    printError(options.file + ": cannot copy the file to a scratch directory under $TMPDIR or /tmp.");
    return kExitFailure;
  }
  std::filesystem::permissions(copy, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               ec);
  RKZARezodud::Script script;
  std::string name = std::filesystem::path(options.file).filename().string();
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  script.setName(name);
  UtilityLogger::GetXMLMsgFromFile(copy, script);
  if (script.getDescription().empty()) script.setDescription(name);
  if (options.json) {
    JsonWriter w;
    writeScriptJson(w, script);
    std::cout << w.str();
  } else {
    std::cout << script.serialize();
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
