#include "engine/phase_walk.h"

#include <algorithm>
#include <map>

#include "base/text_trim.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "engine/occurrence_counter.h"

namespace zarezodud {

namespace {

class Walker {
 public:
  Walker(INIFileProcessor& processor, std::vector<WalkedEntry>& entries, std::string& error)
      : m_processor(processor), m_entries(entries), m_error(error) {
    const ZARezodudParams& params = processor.getZARezodudParams();
    m_configFile = params.configFile();
    const size_t slash = m_configFile.rfind('/');
    m_configDirectory = slash == std::string::npos ? m_configFile : m_configFile.substr(0, slash);
    m_repair = params.isUpgradeRepair();
  }

  bool phase(const std::string& name, ScriptPosition where) {
    for (const std::string& visiting : m_chain) {
      if (equalsIgnoreCase(visiting, name)) return fail("Phase [" + name + "] is part of a cycle.");
    }
    m_processor.setINIFileName(m_configFile);
    if (!m_processor.sectionExists(name)) return fail("Phase [" + name + "] does not exist.");
    PhaseSection section;
    if (!m_processor.readPhase(name, section)) return fail("Failed to Read Phase [" + name + "].");
    m_chain.push_back(name);
    const std::string directory = m_configDirectory + "/" + section.directory;
    where.stage = 1;
    if (!lists(name, directory, section.preCommandType, section.preCommandLists, where)) return false;
    OccurrenceCounter subModules;
    for (const std::string& sub : section.subModulePhases) {
      ScriptPosition inner = where;
      inner.subModules.push_back(ScriptPosition::SubModule{sub, subModules.next(sub)});
      if (!phase(sub, inner)) return false;
    }
    where.stage = 3;
    if (!lists(name, directory, section.postCommandType, section.postCommandLists, where)) return false;
    m_chain.pop_back();
    return true;
  }

 private:
  bool fail(const std::string& message) {
    m_error = message;
    return false;
  }

  bool lists(const std::string& phaseName, const std::string& directory, const std::string& type,
             const std::vector<std::string>& names, ScriptPosition where) {
    if (names.empty()) return true;
    if (!isKnownCommandType(type)) {
      return fail("Invalid Command Type [" + type + "] for Phase [" + phaseName + "].");
    }
    const bool sql = equalsIgnoreCase(type, "SQL");
    OccurrenceCounter listCount;
    for (const std::string& list : names) {
      where.list = list;
      where.listOccurrence = listCount.next(list);
      // A non-repair upgrade passes over the drop lists without opening them.
      if (sql && !m_repair && (list == "DropDBStoredProcedures.lst" || list == "DropDBFunctions.lst"))
        continue;
      std::vector<std::string> lines;
      std::string readError;
      if (!ListFileReader::readAll(directory + "/" + list, lines, &readError)) {
        return fail(readError.empty() ? "Cannot open list file [" + directory + "/" + list + "]."
                                      : readError);
      }
      OccurrenceCounter entryCount;
      for (const std::string& entry : lines) {
        where.entry = entry;
        where.entryOccurrence = entryCount.next(entry);
        m_entries.push_back(WalkedEntry{where, directory + "/" + entry});
      }
    }
    return true;
  }

  INIFileProcessor& m_processor;
  std::vector<WalkedEntry>& m_entries;
  std::string& m_error;
  std::string m_configFile;
  std::string m_configDirectory;
  bool m_repair = false;
  std::vector<std::string> m_chain;
};

}  // namespace

bool walkPhase(INIFileProcessor& processor, const std::string& phase, std::vector<WalkedEntry>& entries,
               std::string& error) {
  entries.clear();
  ScriptPosition where;
  where.phase = phase;
  return Walker(processor, entries, error).phase(phase, where);
}

}  // namespace zarezodud
