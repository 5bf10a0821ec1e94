// Entry point of the zarezodud command: parses the command line and runs the chosen
// subcommand. Usage errors exit with 64.
#include <CLI/CLI.hpp>
#include <iostream>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  // Named explicitly so that help and the manual page say "zarezodud", not the path it ran from.
  CLI::App app{"zarezodud: validate, plan and run database upgrade phases", "zarezodud"};
  app.set_version_flag("--version", std::string("zarezodud ") + ZAREZODUD_VERSION);
  app.require_subcommand(0, 1);

  std::vector<zcli::Command> commands;
  commands.push_back(zcli::addProductsCommand(app));
  commands.push_back(zcli::addValidateCommand(app));
  commands.push_back(zcli::addLintCommand(app));
  commands.push_back(zcli::addPlanCommand(app));
  commands.push_back(zcli::addRunCommand(app));
  commands.push_back(zcli::addScanCommand(app));
  commands.push_back(zcli::addRegistryCommand(app));
  commands.push_back(zcli::addCredentialsCommand(app));
  commands.push_back(zcli::addDumpsCommand(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? zcli::kExitSuccess : zcli::kExitUsage;
  }
  for (const zcli::Command& command : commands) {
    if (command.app->parsed()) return command.run();
  }
  std::cout << app.help();
  return zcli::kExitSuccess;
}
