// zarezodud dumps sweep: removes old database dump files from the product's job-results
// directories now, with the retention limits of the registry (the sweep a hosting process
// otherwise runs on its timer).
#include <iostream>
#include <memory>

#include "commands.h"
#include "maint/dump_retention.h"

namespace zcli {

Command addDumpsCommand(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand("dumps", "Database dump retention");
  cmd->require_subcommand(1);
  CLI::App* sweep = cmd->add_subcommand("sweep", "Delete old database dumps now");
  sweep->footer(
      "Keeps, per database, the newest nDBdumpsNoOfFilesToRetain dumps (default 1) younger than\n"
      "nDBdumpsDaysOlder days (default 30), both read under the registry key Database.\n"
      "Exit codes: 0 swept, 2 failure, 64 usage error.\n"
      "Example:\n  zarezodud dumps sweep");
  auto run = [sweep, cmd]() -> int {
    if (!sweep->parsed()) {
      std::cout << cmd->help();
      return kExitUsage;
    }
    DeleteOldDBDumps_OnTimer(nullptr);
    std::cout << "Dump sweep done.\n";
    return kExitSuccess;
  };
  return Command{cmd, run};
}

}  // namespace zcli
