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
  // A key given in extra replaces the default line (the command refuses a key given twice).
  const std::vector<std::string> defaults = {"productName = Corehub",
                                             "DBname = Corehub",
                                             "DBServer = SQL Server",
                                             "SQLInstance = localhost",
                                             "userId = tester",
                                             "configFile = phases.ini",
                                             "productConfigFile = ProductConfig.ini",
                                             "logfile = logs/upgrade.log",
                                             "phaseLogFile = logs/phase.log",
                                             "failedSrcLogFile = logs/failed.log",
                                             "currentReleaseId = 16"};
  const auto keyOf = [](const std::string& line) {
    const std::size_t eq = line.find('=');
    std::string key = line.substr(0, eq == std::string::npos ? line.size() : eq);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    return key;
  };
  std::string text = "[Parameters]\n";
  for (const std::string& line : defaults) {
    if (("\n" + extra).find("\n" + keyOf(line) + " ") == std::string::npos &&
        ("\n" + extra).find("\n" + keyOf(line) + "=") == std::string::npos) {
      text += line + "\n";
    }
  }
  return write("params.ini", text + extra);
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
