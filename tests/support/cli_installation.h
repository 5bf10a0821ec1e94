// CliInstallation: a small installation in a temporary directory for the command tests: a
// product configuration with one product, a phase configuration, list files with one-line
// scripts, and a parameter file pointing at all of it (release 16, logs inside the tree).
// Also runs the built zarezodud command. Not thread-safe.
#ifndef ZAREZODUD_TESTS_SUPPORT_CLI_INSTALLATION_H
#define ZAREZODUD_TESTS_SUPPORT_CLI_INSTALLATION_H

#include <string>
#include <utility>
#include <vector>

#include "support/command_runner.h"
#include "support/temp_dir.h"

namespace ztest {

class CliInstallation {
 public:
  // program: the zarezodud command to run (tests pass ZAREZODUD_CLI_PATH).
  explicit CliInstallation(std::string program);

  const std::string& root() const { return m_dir.path(); }
  std::string path(const std::string& relative) const { return m_dir.file(relative); }
  std::string write(const std::string& relative, const std::string& content) const {
    return m_dir.write(relative, content);
  }
  // Appends a section to phases.ini.
  void addPhase(const std::string& text);
  // Writes <directory>/<list> naming entries and, for each, a one-line SQL script.
  void addList(const std::string& directory, const std::string& list,
               const std::vector<std::string>& entries);
  // Writes params.ini with the base keys plus extra lines (a key in extra replaces its base
  // line); returns its path.
  std::string writeParams(const std::string& extra = std::string()) const;
  std::string paramsFile() const { return path("params.ini"); }

  // Runs the built command with args in the installation root (registry and output directory
  // kept inside the tree).
  CommandResult run(const std::vector<std::string>& args, const std::string& input = std::string(),
                    std::vector<std::pair<std::string, std::string>> env = {}) const;
  CommandSpec invocation(const std::vector<std::string>& args,
                   std::vector<std::pair<std::string, std::string>> env = {}) const;

 private:
  TempDir m_dir;
  std::string m_program;
};

}  // namespace ztest

#endif
