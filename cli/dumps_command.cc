// zarezodud dumps sweep: removes old database dump files from the product's job-results
// directories now, with the retention limits of the registry (the sweep a hosting process
// otherwise runs on its timer).
#include <iostream>
#include <memory>

#include "commands.h"

// The sweep lives in the library's maintenance helpers. It is referenced weakly so that this
// command still builds where the library lacks it; the command then says so and fails.
extern "C" __attribute__((weak)) int DeleteOldDBDumps_OnTimer(void* unused);

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
    if (DeleteOldDBDumps_OnTimer == nullptr) {
      printError("this build of the library has no dump retention; rebuild with the maintenance helpers.");
      return kExitFailure;
    }
    DeleteOldDBDumps_OnTimer(nullptr);
    std::cout << "Dump sweep done.\n";
    return kExitSuccess;
  };
  return Command{cmd, run};
}

}  // namespace zcli
