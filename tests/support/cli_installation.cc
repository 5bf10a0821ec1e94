#include "support/cli_installation.h"

#include <fstream>
#include <utility>

namespace ztest {

CliInstallation::CliInstallation(std::string program) : m_program(std::move(program)) {
  write("ProductConfig.ini",
        "[SupportedProducts]\nProductName = Corehub\n[Corehub]\nDBName = Corehub\nDBServer = SQL Server\n");
  write("phases.ini", "");
}

void CliInstallation::addPhase(const std::string& text) {
  std::ofstream out(path("phases.ini"), std::ios::app);
  out << text << "\n";
}

void CliInstallation::addList(const std::string& directory, const std::string& list,
                              const std::vector<std::string>& entries) {
  std::string content;
  for (const std::string& entry : entries) {
    content += entry + "\n";
    write(directory + "/" + entry, "-- " + entry + "\nSELECT 1;\nGO\n");
  }
  write(directory + "/" + list, content);
}

std::string CliInstallation::writeParams(const std::string& extra) const {
  return write("params.ini",
               "[Parameters]\nproductName = Corehub\nDBname = Corehub\nDBServer = SQL Server\n"
               "SQLInstance = localhost\nuserId = tester\nconfigFile = phases.ini\n"
               "productConfigFile = ProductConfig.ini\nlogfile = logs/upgrade.log\n"
               "phaseLogFile = logs/phase.log\nfailedSrcLogFile = logs/failed.log\ncurrentReleaseId = 16\n" +
                   extra);
}

CommandSpec CliInstallation::invocation(const std::vector<std::string>& args,
                                  std::vector<std::pair<std::string, std::string>> env) const {
  CommandSpec invocation;
  invocation.program = m_program;
  invocation.args = args;
  invocation.cwd = root();
  invocation.env = {{"ZAREZODUD_REGISTRY_DIR", path("registry")},
              {"ZAREZODUD_OUTPUT_DIR", path("output")},
              {"ZAREZODUD_INSTANCE", "default"}};
  for (auto& item : env) invocation.env.push_back(std::move(item));
  invocation.unset = {"ZAREZODUD_PASSWORD"};
  return invocation;
}

CommandResult CliInstallation::run(const std::vector<std::string>& args, const std::string& input,
                                   std::vector<std::pair<std::string, std::string>> env) const {
  CommandSpec s = invocation(args, std::move(env));
  s.input = input;
  return runCommand(s);
}

}  // namespace ztest
