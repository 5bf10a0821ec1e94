// PhaseTree: builds a small installation in a temporary directory for engine tests: a product
// configuration, a phase configuration, phase directories with list files and scripts, and a
// ZARezodudParams pointing at them. Not thread-safe.
#ifndef ZAREZODUD_TESTS_SUPPORT_PHASE_TREE_H
#define ZAREZODUD_TESTS_SUPPORT_PHASE_TREE_H

#include <string>
#include <vector>

#include "engine/zarezodud_params.h"
#include "support/temp_dir.h"

namespace ztest {

class PhaseTree {
 public:
  PhaseTree();

  const std::string& root() const { return m_dir.path(); }
  std::string path(const std::string& relative) const { return m_dir.file(relative); }
  // Writes a file below the root and returns its path.
  std::string write(const std::string& relative, const std::string& content) const {
    return m_dir.write(relative, content);
  }
  // Appends text to the phase configuration file (config/phases.ini).
  void addPhaseConfig(const std::string& text);
  // Writes a list file with one line per entry and, unless noScripts, a one-line script
  // for each entry, below config/<directory>/.
  std::string addList(const std::string& directory, const std::string& listName,
                      const std::vector<std::string>& entries, bool noScripts = false);
  std::string configFile() const { return path("config/phases.ini"); }

  // Parameters: configFile, logfile, phaseLogFile, failedSrcLogFile set into the tree;
  // release 16.
  ZARezodudParams params() const;

 private:
  TempDir m_dir;
  std::string m_config;
};

}  // namespace ztest

#endif
