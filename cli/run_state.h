// The state file of a run: enough to resume it after a crash or a failure. It holds where the
// parameters came from, the parameters' identity (product, database, server, phase
// configuration file, phase), the engine's position record (serialized XML), the script being
// run with its SHA-256, and progress counts. No password is ever stored.
//
// The file is JSON and is always replaced whole and atomically (temporary file, fsync,
// rename, directory fsync), so that after a crash it holds either the old or the new state.
//
// Thread-safety: plain data and stateless functions.
#ifndef ZAREZODUD_CLI_RUN_STATE_H
#define ZAREZODUD_CLI_RUN_STATE_H

#include <cstdint>
#include <string>
#include <vector>

#include "engine/zarezodud_params.h"

namespace zcli {

// What must stay the same between a run and its resumption.
struct RunIdentity {
  std::string product;
  std::string database;
  std::string server;
  std::string configFile;
  std::string phase;

  static RunIdentity of(const ZARezodudParams& params, const std::string& phase);
  bool operator==(const RunIdentity& other) const;
  bool operator!=(const RunIdentity& other) const { return !(*this == other); }
  // The first differing item as "<name>: [<stored>] now [<current>]", or "".
  std::string differenceFrom(const RunIdentity& stored) const;
};

struct RunState {
  std::string status;  // "running", "finished" or "failed"
  std::string paramsFile;
  std::vector<std::string> overrides;
  std::string reportFile;
  std::string backend;
  RunIdentity identity;
  std::string positionXml;
  std::string currentScript;  // full path, "" before the first script
  std::string currentScriptSha256;
  bool scriptRunning = false;    // started and not yet ended
  bool scriptSucceeded = false;  // when ended: the runner's verdict
  // With the record backend, the journal's line count when the current script started (-1:
  // not known). A journal that grew past it shows that the script completed.
  int64_t journalMark = -1;
  int64_t scriptsDone = 0;
  int64_t scriptsTotal = 0;
  int64_t updatedAt = 0;  // seconds since 1970
};

// The JSON text of state.
std::string runStateToJson(const RunState& state);
// Parses a state file's text. False with error on malformed or incomplete content.
bool runStateFromJson(const std::string& text, RunState& state, std::string& error);

// Replaces path with text atomically. False with error naming the file.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error);
// Writes the state atomically (updatedAt set to now).
bool writeRunState(const std::string& path, RunState& state, std::string& error);
// Reads and parses the state file; errors name the file.
bool readRunState(const std::string& path, RunState& state, std::string& error);

}  // namespace zcli

#endif
