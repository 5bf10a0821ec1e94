#include "resume_position.h"

#include <algorithm>

#include "config/text_trim.h"
#include "engine/list_file_reader.h"

namespace zcli {

namespace {

enum class Advance { kMoved, kPhaseDone, kUnknown };

// Lists that a non-repair run passes over without looking at their entries (and without
// clearing a resume flag), so a resume position must never point into one.
bool isDropList(const std::string& name) {
  return name == "DropDBStoredProcedures.lst" || name == "DropDBFunctions.lst";
}

bool usable(const std::string& list, bool repair) { return repair || !isDropList(list); }

std::string configDirectory(const std::string& configFile) {
  const size_t slash = configFile.rfind('/');
  return slash == std::string::npos ? configFile : configFile.substr(0, slash);
}

// Points record at the start of sub-module number from of section (or, past the last one, at
// the start of the post-command stage). A sub-module after the first is found by the name of
// its first list, which the earlier sub-modules pass over; it needs one that the engine can
// match.
Advance startSubModule(INIFileProcessor& processor, RKZARezodud::ProcessPhase& record,
                       const PhaseSection& section, size_t from, bool repair) {
  if (from >= section.subModulePhases.size()) {
    record.dropSubModule();
    record.setStage(3);
    record.setCurrentListFile(std::string());
    record.setCurrentScript(std::string());
    return Advance::kMoved;
  }
  const std::string& name = section.subModulePhases[from];
  std::string firstList;
  if (from > 0) {
    PhaseSection sub;
    if (!processor.readPhase(name, sub)) return Advance::kUnknown;
    const auto found = std::find_if(sub.preCommandLists.begin(), sub.preCommandLists.end(),
                                    [repair](const std::string& list) { return usable(list, repair); });
    if (found == sub.preCommandLists.end() || !zarezodud::equalsIgnoreCase(sub.preCommandType, "SQL")) {
      return Advance::kUnknown;
    }
    firstList = *found;
  }
  record.setStage(2);
  record.setCurrentListFile(std::string());
  record.setCurrentScript(std::string());
  RKZARezodud::ProcessPhase* nested = record.getSubModule(true);
  if (nested == nullptr) return Advance::kUnknown;
  nested->dropSubModule();
  nested->setPhaseName(name);
  nested->setStage(1);
  // An empty list (first sub-module) or an empty script makes the engine start there afresh.
  nested->setCurrentListFile(firstList);
  nested->setCurrentScript(std::string());
  return Advance::kMoved;
}

Advance advance(INIFileProcessor& processor, RKZARezodud::ProcessPhase& record, bool repair) {
  const int64_t stage = record.getStage();
  PhaseSection section;
  if (stage == 2) {
    RKZARezodud::ProcessPhase* sub = record.getSubModule(false);
    if (sub == nullptr) return Advance::kUnknown;
    const Advance inner = advance(processor, *sub, repair);
    if (inner != Advance::kPhaseDone) return inner;
    if (!processor.readPhase(record.getPhaseName(), section)) return Advance::kUnknown;
    const auto& subs = section.subModulePhases;
    const auto done = std::find(subs.begin(), subs.end(), sub->getPhaseName());
    if (done == subs.end()) return Advance::kUnknown;
    return startSubModule(processor, record, section, static_cast<size_t>(done - subs.begin()) + 1, repair);
  }
  if (stage != 1 && stage != 3) return Advance::kUnknown;
  if (!processor.readPhase(record.getPhaseName(), section)) return Advance::kUnknown;
  const std::vector<std::string>& lists = stage == 1 ? section.preCommandLists : section.postCommandLists;
  const std::string& type = stage == 1 ? section.preCommandType : section.postCommandType;
  if (!zarezodud::equalsIgnoreCase(type, "SQL")) return Advance::kUnknown;

  const auto list = std::find(lists.begin(), lists.end(), record.getCurrentListFile());
  if (list == lists.end()) return Advance::kUnknown;
  const std::string directory =
      configDirectory(processor.getZARezodudParams().configFile()) + "/" + section.directory;
  std::vector<std::string> entries;
  if (!zarezodud::ListFileReader::readAll(directory + "/" + *list, entries)) return Advance::kUnknown;
  // The engine resumes at the first entry equal to the recorded script.
  const auto script = std::find(entries.begin(), entries.end(), record.getCurrentScript());
  if (script == entries.end()) return Advance::kUnknown;
  if (script + 1 != entries.end()) {
    record.setCurrentScript(*(script + 1));
    return Advance::kMoved;
  }
  for (auto next = list + 1; next != lists.end(); ++next) {
    if (!usable(*next, repair)) continue;
    // An empty current script makes the engine run the recorded list from its start.
    record.setCurrentListFile(*next);
    record.setCurrentScript(std::string());
    return Advance::kMoved;
  }
  if (stage == 1) return startSubModule(processor, record, section, 0, repair);
  return Advance::kPhaseDone;
}

}  // namespace

bool advancePastCompletedScript(INIFileProcessor& processor, RKZARezodud::ProcessPhase& record, bool repair) {
  RKZARezodud::ProcessPhase moved(record);
  if (advance(processor, moved, repair) != Advance::kMoved) return false;
  record = moved;
  return true;
}

}  // namespace zcli
