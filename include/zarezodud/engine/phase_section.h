// PhaseSection: the contents of one phase section of the phase configuration file: the raw
// key values (fields 1 to 24, in the file's key order) and the lists chosen by the release
// being upgraded from (fields 25 to 29). INIFileProcessor::readPhase fills it.
//
// A plain value type; thread-compatible.
#ifndef ZAREZODUD_ENGINE_PHASE_SECTION_H
#define ZAREZODUD_ENGINE_PHASE_SECTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "export.h"

class ZAREZODUD_API PhaseSection {
 public:
  PhaseSection() { clear(); }
  ~PhaseSection() = default;

  // Empties every text and list; terminate-on-error flags 1, check-return-value flags 0.
  // terminateOnEnvironmentError is left as it is (readPhase always sets it).
  void clear();

  std::string name;                                 // "Name"
  std::string directory;                            // "Directory"
  std::string preCommandType;                       // "PreCommandType"
  int32_t preCommandTerminateOnError = 1;           // "PreCommand-TerminateOnError"
  int32_t preCommandCheckReturnValue = 0;           // "PreCommand-CheckReturnValue"
  std::string preCommandQuotedIdentifier;           // "PreCommand-QuotedIdentifier": "ON" or "OFF"
  int32_t terminateOnEnvironmentError = 1;          // "TerminateOnEnvironmentError"
  std::string preCommandPreLastRelListFileName;     // "PreCommand-PreLastRelListFileName"
  std::string preCommandPreLastRelEnvINIFileName;   // "PreCommand-PreLastRelEnvINIFileName"
  std::string preCommandLastRelListFileName;        // "PreCommand-LastRelListFileName"
  std::string preCommandLastRelEnvINIFileName;      // "PreCommand-LastRelEnvINIFileName"
  std::string preCommandCurRelListFileName;         // "PreCommand-CurRelListFileName"
  std::string preCommandCurRelEnvINIFileName;       // "PreCommand-CurRelEnvINIFileName"
  std::string subModuleSections;                    // "SubModuleSections"
  std::string postCommandType;                      // "PostCommandType"
  int32_t postCommandTerminateOnError = 1;          // "PostCommand-TerminateOnError"
  int32_t postCommandCheckReturnValue = 0;          // "PostCommand-CheckReturnValue"
  std::string postCommandQuotedIdentifier;          // "PostCommand-QuotedIdentifier"
  std::string postCommandPreLastRelListFileName;    // "PostCommand-PreLastRelListFileName"
  std::string postCommandPreLastRelEnvINIFileName;  // "PostCommand-PreLastRelEnvINIFileName"
  std::string postCommandLastRelListFileName;       // "PostCommand-LastRelListFileName"
  std::string postCommandLastRelEnvINIFileName;     // "PostCommand-LastRelEnvINIFileName"
  std::string postCommandCurRelListFileName;        // "PostCommand-CurRelListFileName"
  std::string postCommandCurRelEnvINIFileName;      // "PostCommand-CurRelEnvINIFileName"
  std::vector<std::string> preCommandLists;         // chosen by release
  std::vector<std::string> postCommandLists;
  std::vector<std::string> preCommandEnvFiles;
  std::vector<std::string> postCommandEnvFiles;
  std::vector<std::string> subModulePhases;         // from "SubModuleSections"
};

namespace zarezodud {
// True for the command types a phase's lists may have: "SQL", "BATCH" or "EXE", any case.
bool isKnownCommandType(const std::string& type);
}  // namespace zarezodud

#endif
