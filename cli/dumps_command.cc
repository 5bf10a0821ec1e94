// zarezodud dumps sweep: removes old database dump files from the product's job-results
// directories now, with the retention limits of the registry (the sweep a hosting process
// otherwise runs on its timer); with --dry-run it lists what it would delete, and why, and
// deletes nothing.
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "maint/dump_retention.h"
#include "maint/dump_sweep_plan.h"

namespace zcli {

namespace {

int dryRun() {
  zarezodud::DumpSweepPlan plan;
  std::string error;
  if (!zarezodud::planDumpRetention(plan, error)) {
    printError("cannot plan the sweep: " + error + ".");
    return kExitFailure;
  }
  std::cout << "A dump is kept only while it is among the newest " << plan.filesToRetain
            << " of its database in its directory and younger than " << plan.days << " day(s)"
            << (plan.filesDefaulted || plan.daysDefaulted ? " (registry values missing: defaults used)" : "")
            << ".\n";
  int deleting = 0;
  for (const zarezodud::DumpDecision& decision : plan.decisions) {
    if (decision.keep) {
      std::cout << "keep         " << decision.path << "\n";
      continue;
    }
    ++deleting;
    std::string why;
    if (decision.beyondCount) why = "not among the newest " + std::to_string(plan.filesToRetain);
    if (decision.tooOld) {
      why += std::string(why.empty() ? "" : "; ") + std::to_string(plan.days) + " day(s) old or older";
    }
    std::cout << "would delete " << decision.path << " (" << why << ")\n";
  }
  std::cout << deleting << " dump(s) would be deleted; nothing was deleted (dry run).\n";
  return kExitSuccess;
}

}  // namespace

Command addDumpsCommand(CLI::App& app) {
  auto dryRunRequested = std::make_shared<bool>(false);
  CLI::App* cmd = app.add_subcommand("dumps", "Database dump retention");
  cmd->require_subcommand(1);
  CLI::App* sweep = cmd->add_subcommand("sweep", "Delete old database dumps now");
  sweep->add_flag("--dry-run", *dryRunRequested, "List what would be deleted, and why, without deleting");
  sweep->footer(
      "Per database and directory, a dump is kept only while it is among the newest\n"
      "nDBdumpsNoOfFilesToRetain dumps (default 1) and younger than nDBdumpsDaysOlder days\n"
      "(default 30), both read under the registry key Database; every other dump is deleted, so\n"
      "a database's only dump goes once it is that old.\n"
      "Exit codes: 0 swept, 2 failure, 64 usage error.\n"
      "Examples:\n  zarezodud dumps sweep --dry-run\n  zarezodud dumps sweep");
  auto run = [sweep, cmd, dryRunRequested]() -> int {
    if (!sweep->parsed()) {
      std::cout << cmd->help();
      return kExitUsage;
    }
    if (*dryRunRequested) return dryRun();
    DeleteOldDBDumps_OnTimer(nullptr);
    std::cout << "Dump sweep done.\n";
    return kExitSuccess;
  };
  return Command{cmd, run};
}

}  // namespace zcli
