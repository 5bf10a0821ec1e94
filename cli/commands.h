// The subcommands of the zarezodud command. Each registers itself on the application and
// returns, through run(), the process exit code: 0 success, 1 warning, 2 failure, 64 usage.
#ifndef ZAREZODUD_CLI_COMMANDS_H
#define ZAREZODUD_CLI_COMMANDS_H

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace zcli {

constexpr int kExitSuccess = 0;
constexpr int kExitWarning = 1;
constexpr int kExitFailure = 2;
constexpr int kExitUsage = 64;

// A registered subcommand: the CLI11 node and the action to run when it was chosen.
struct Command {
  CLI::App* app;
  std::function<int()> run;
};

Command addProductsCommand(CLI::App& app);
Command addValidateCommand(CLI::App& app);
Command addPlanCommand(CLI::App& app);
Command addRunCommand(CLI::App& app);
Command addScanCommand(CLI::App& app);
Command addRegistryCommand(CLI::App& app);
Command addCredentialsCommand(CLI::App& app);
Command addDumpsCommand(CLI::App& app);
Command addLintCommand(CLI::App& app);

// Prints "zarezodud: <message>" on standard error.
void printError(const std::string& message);

}  // namespace zcli

#endif
