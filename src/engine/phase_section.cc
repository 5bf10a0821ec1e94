// PhaseSection and INIFileProcessor::readPhase: a phase section turned into lists chosen by
// the release being upgraded from.
#include "engine/phase_section.h"

#include "config/profile_snapshot.h"
#include "config/profile_store.h"
#include "base/text_trim.h"
#include "base/comma_list.h"
#include "engine/ini_file_processor.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"

void PhaseSection::clear() {
  for (std::string* text :
       {&name, &directory, &preCommandType, &preCommandQuotedIdentifier, &preCommandPreLastRelListFileName,
        &preCommandPreLastRelEnvINIFileName, &preCommandLastRelListFileName, &preCommandLastRelEnvINIFileName,
        &preCommandCurRelListFileName, &preCommandCurRelEnvINIFileName, &subModuleSections, &postCommandType,
        &postCommandQuotedIdentifier, &postCommandPreLastRelListFileName,
        &postCommandPreLastRelEnvINIFileName, &postCommandLastRelListFileName,
        &postCommandLastRelEnvINIFileName, &postCommandCurRelListFileName,
        &postCommandCurRelEnvINIFileName}) {
    text->clear();
  }
  for (std::vector<std::string>* list :
       {&preCommandLists, &postCommandLists, &preCommandEnvFiles, &postCommandEnvFiles, &subModulePhases}) {
    list->clear();
  }
  preCommandTerminateOnError = 1;
  postCommandTerminateOnError = 1;
  preCommandCheckReturnValue = 0;
  postCommandCheckReturnValue = 0;
}

bool zarezodud::isKnownCommandType(const std::string& type) {
  return equalsIgnoreCase(type, "SQL") || equalsIgnoreCase(type, "BATCH") || equalsIgnoreCase(type, "EXE");
}

namespace {

// The names that a service-pack upgrade of release 16 prefixes when they stand in a
// pre-command list: any item that occurs within this text (a substring test).
const char kServicePackListNames[] =
    "All_Upgr_Upg.lst,All_Tblscript_Upg.lst,All_Func_Upg.lst,All_Proc_Upg.lst";

int32_t terminateFlag(const std::string& value) {
  return zarezodud::equalsIgnoreCase(value, "FALSE") ? 0 : 1;
}
int32_t checkFlag(const std::string& value) { return zarezodud::equalsIgnoreCase(value, "TRUE") ? 1 : 0; }
std::string quotedIdentifier(const std::string& value) {
  return zarezodud::equalsIgnoreCase(value, "OFF") ? "OFF" : "ON";
}

}  // namespace

unsigned int INIFileProcessor::readPhase(std::string phaseName, PhaseSection& s) {
  setINIFileName(m_params.configFile());
  s.clear();
  // A key whose line cannot be read (longer than an entry line may be, or a line of the file
  // that holds a NUL byte) must not pass for an absent key: that would silently drop the lists
  // it names.
  std::string unreadableKey;
  int unreadableCode = PROFILE_SUCCESS;
  auto key = [&](const char* name) {
    std::string value;
    const int rc = readPhaseKey(phaseName, name, value);
    if (rc != PROFILE_SUCCESS && unreadableKey.empty()) {
      unreadableKey = name;
      unreadableCode = rc;
    }
    return value;
  };

  s.name = key("Name");
  s.directory = key("Directory");
  s.preCommandType = key("PreCommandType");
  s.preCommandTerminateOnError = terminateFlag(key("PreCommand-TerminateOnError"));
  s.preCommandCheckReturnValue = checkFlag(key("PreCommand-CheckReturnValue"));
  s.preCommandQuotedIdentifier = quotedIdentifier(key("PreCommand-QuotedIdentifier"));
  s.terminateOnEnvironmentError = terminateFlag(key("TerminateOnEnvironmentError"));
  s.preCommandPreLastRelListFileName = key("PreCommand-PreLastRelListFileName");
  s.preCommandLastRelListFileName = key("PreCommand-LastRelListFileName");
  s.preCommandCurRelListFileName = key("PreCommand-CurRelListFileName");
  s.preCommandPreLastRelEnvINIFileName = key("PreCommand-PreLastRelEnvINIFileName");
  s.preCommandLastRelEnvINIFileName = key("PreCommand-LastRelEnvINIFileName");
  s.preCommandCurRelEnvINIFileName = key("PreCommand-CurRelEnvINIFileName");
  s.subModuleSections = key("SubModuleSections");
  s.postCommandType = key("PostCommandType");
  s.postCommandTerminateOnError = terminateFlag(key("PostCommand-TerminateOnError"));
  s.postCommandCheckReturnValue = checkFlag(key("PostCommand-CheckReturnValue"));
  s.postCommandQuotedIdentifier = quotedIdentifier(key("PostCommand-QuotedIdentifier"));
  s.postCommandPreLastRelListFileName = key("PostCommand-PreLastRelListFileName");
  s.postCommandLastRelListFileName = key("PostCommand-LastRelListFileName");
  s.postCommandCurRelListFileName = key("PostCommand-CurRelListFileName");
  s.postCommandPreLastRelEnvINIFileName = key("PostCommand-PreLastRelEnvINIFileName");
  s.postCommandLastRelEnvINIFileName = key("PostCommand-LastRelEnvINIFileName");
  s.postCommandCurRelEnvINIFileName = key("PostCommand-CurRelEnvINIFileName");

  if (!unreadableKey.empty()) {
    const std::string message =
        unreadableCode == PROFILE_READ_ERROR
            ? phaseFileProblem()
            : zarezodud::formatMessage(
                  "Key [%s] of Phase [%s] in [%s] cannot be read: its line is longer than 254 characters.",
                  unreadableKey.c_str(), phaseName.c_str(), m_params.m_configFile);
    ZARezodudLogger::LogLine("INIFileProcessor::readPhase", "%s", message.c_str());
    return 0;
  }

  const std::string *preLists, *postLists, *preEnv, *postEnv;
  const int32_t release = m_params.currentReleaseId();
  if (release == 16) {
    preLists = &s.preCommandCurRelListFileName;
    postLists = &s.postCommandCurRelListFileName;
    preEnv = &s.preCommandCurRelEnvINIFileName;
    postEnv = &s.postCommandCurRelEnvINIFileName;
  } else if (release == 15) {
    preLists = &s.preCommandLastRelListFileName;
    postLists = &s.postCommandLastRelListFileName;
    preEnv = &s.preCommandLastRelEnvINIFileName;
    postEnv = &s.postCommandLastRelEnvINIFileName;
  } else if (release == 14) {
    preLists = &s.preCommandPreLastRelListFileName;
    postLists = &s.postCommandPreLastRelListFileName;
    preEnv = &s.preCommandPreLastRelEnvINIFileName;
    postEnv = &s.postCommandPreLastRelEnvINIFileName;
  } else {
    ZARezodudLogger::LogLine("INIFileProcessor::readPhase", "%s",
                             zarezodud::formatMessage("Non-Supported ReleaseId [%d].", release).c_str());
    return 0;
  }

  s.preCommandLists = zarezodud::splitCommaList(*preLists);
  s.postCommandLists = zarezodud::splitCommaList(*postLists);
  s.preCommandEnvFiles = zarezodud::splitCommaList(*preEnv);
  s.postCommandEnvFiles = zarezodud::splitCommaList(*postEnv);

  if (release == 16 && m_params.isServicePackUpgrade()) {
    const std::string prefix = m_params.ServicePackPrefix();
    const std::string names = kServicePackListNames;
    for (std::string& item : s.preCommandLists) {
      if (names.find(item) != std::string::npos) item = prefix + item;
    }
  }

  s.subModulePhases = zarezodud::splitCommaList(s.subModuleSections);
  return 1;
}

int INIFileProcessor::findPhaseSection(const std::string& phaseName) {
  if (m_phaseSnapshot != nullptr) {
    return m_phaseSnapshot->hasSection(phaseName) ? PROFILE_SUCCESS : PROFILE_NO_SECTION;
  }
  setINIFileName(m_params.configFile());
  return findSection(phaseName);
}

int INIFileProcessor::readPhaseKey(const std::string& phaseName, const char* key, std::string& value) {
  if (m_phaseSnapshot != nullptr) return m_phaseSnapshot->value(phaseName, key, value);
  return readKeyValue(key, phaseName, value);
}

std::string INIFileProcessor::phaseFileProblem() {
  setINIFileName(m_params.configFile());
  return "Phase configuration file " + readProblem();
}
