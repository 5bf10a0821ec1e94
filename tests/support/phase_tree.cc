#include "support/phase_tree.h"

namespace ztest {

PhaseTree::PhaseTree() { m_dir.write("config/phases.ini", ""); }

void PhaseTree::addPhaseConfig(const std::string& text) {
  m_config += text;
  m_dir.write("config/phases.ini", m_config);
}

std::string PhaseTree::addList(const std::string& directory, const std::string& listName,
                               const std::vector<std::string>& entries, bool noScripts) {
  std::string content;
  for (const std::string& entry : entries) {
    content += entry + "\n";
    if (!noScripts && !entry.empty() && entry[0] != '#') {
      m_dir.write("config/" + directory + "/" + entry, "SELECT 1 -- " + entry + "\n");
    }
  }
  return m_dir.write("config/" + directory + "/" + listName, content);
}

ZARezodudParams PhaseTree::params() const {
  ZARezodudParams p;
  p.setConfigFile(configFile());
  p.setLogfile(path("logs/upgrade.log"));
  p.setPhaseLogFile(path("logs/phase.log"));
  p.setFailedSrcLogFile(path("logs/failed.log"));
  p.setCurrentReleaseId(16);
  m_dir.write("logs/.keep", "");
  return p;
}

}  // namespace ztest
