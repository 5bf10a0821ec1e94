#include "engine/phase_scripts.h"

#include <algorithm>
#include <set>

#include "base/text_trim.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"

namespace zarezodud {
namespace {

constexpr int32_t kReleases[] = {14, 15, 16};

class PhaseWalker {
 public:
  explicit PhaseWalker(INIFileProcessor& processor)
      : m_processor(processor), m_params(processor.getZARezodudParams()) {
    const std::string config = m_params.configFile();
    const std::size_t slash = config.rfind('/');
    m_configDirectory = slash == std::string::npos ? config : config.substr(0, slash);
  }

  ~PhaseWalker() { m_processor.setZARezodudParams(m_params); }
  PhaseWalker(const PhaseWalker&) = delete;
  PhaseWalker& operator=(const PhaseWalker&) = delete;

  void visit(const std::string& phase) {
    if (std::find(m_chain.begin(), m_chain.end(), phase) != m_chain.end()) {
      std::string chain;
      for (const std::string& name : m_chain) chain += name + " -> ";
      m_result.problems.push_back(PhaseScriptProblem{
          m_params.configFile(), "Phase [" + phase + "] is part of a cycle: [" + chain + phase + "]."});
      return;
    }
    if (!m_visited.insert(phase).second) return;
    m_processor.setINIFileName(m_params.configFile());
    if (!m_processor.sectionExists(phase)) {
      m_result.problems.push_back(
          PhaseScriptProblem{m_params.configFile(), "Missing Phase [" + phase + "]."});
      return;
    }
    m_chain.push_back(phase);
    std::vector<std::pair<std::string, std::string>> postLists;  // (directory, list)
    std::vector<std::string> subModules;
    for (const int32_t release : kReleases) {
      ZARezodudParams params = m_params;
      params.setCurrentReleaseId(release);
      m_processor.setZARezodudParams(params);
      PhaseSection section;
      if (!m_processor.readPhase(phase, section)) continue;
      const std::string directory = m_configDirectory + "/" + section.directory;
      if (equalsIgnoreCase(section.preCommandType, "SQL")) {
        for (const std::string& list : section.preCommandLists) addList(directory, list);
      }
      if (equalsIgnoreCase(section.postCommandType, "SQL")) {
        for (const std::string& list : section.postCommandLists) postLists.emplace_back(directory, list);
      }
      for (const std::string& sub : section.subModulePhases) {
        if (std::find(subModules.begin(), subModules.end(), sub) == subModules.end())
          subModules.push_back(sub);
      }
    }
    m_processor.setZARezodudParams(m_params);
    for (const std::string& sub : subModules) visit(sub);
    for (const auto& list : postLists) addList(list.first, list.second);
    m_chain.pop_back();
  }

  PhaseScripts take() { return std::move(m_result); }

 private:
  void addList(const std::string& directory, const std::string& list) {
    const std::string listPath = directory + "/" + list;
    if (!m_lists.insert(listPath).second) return;
    std::vector<std::string> entries;
    std::string error;
    if (!ListFileReader::readAll(listPath, entries, &error)) {
      m_result.problems.push_back(
          PhaseScriptProblem{listPath, error.empty() ? "Cannot open list file [" + listPath + "]." : error});
    }
    for (const std::string& entry : entries) {
      const std::string script = directory + "/" + entry;
      if (m_scripts.insert(script).second) m_result.scripts.push_back(script);
    }
  }

  INIFileProcessor& m_processor;
  ZARezodudParams m_params;
  std::string m_configDirectory;
  std::vector<std::string> m_chain;
  std::set<std::string> m_visited;
  std::set<std::string> m_lists;
  std::set<std::string> m_scripts;
  PhaseScripts m_result;
};

}  // namespace

PhaseScripts collectPhaseScripts(INIFileProcessor& processor, const std::string& phaseName) {
  PhaseWalker walker(processor);
  walker.visit(phaseName);
  return walker.take();
}

}  // namespace zarezodud
