// Helpers the engine-driving subcommands (validate, plan, run) share: collecting what the
// engine writes to the upgrade log during a call, turning those lines into problems that
// name a file, starting the logs, and a scratch directory removed on scope exit.
//
// Thread-safety: LogTap installs a process-wide listener; use one at a time, from the thread
// that drives the engine.
#ifndef ZAREZODUD_CLI_ENGINE_SUPPORT_H
#define ZAREZODUD_CLI_ENGINE_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

#include "engine/zarezodud_params.h"

class INIFileProcessor;

namespace zcli {

// While alive, records every upgrade-log line (context, message).
class LogTap {
 public:
  LogTap();
  ~LogTap();
  LogTap(const LogTap&) = delete;
  LogTap& operator=(const LogTap&) = delete;
  const std::vector<std::pair<std::string, std::string>>& lines() const { return m_lines; }

 private:
  std::vector<std::pair<std::string, std::string>> m_lines;
};

// A problem the engine reported, with the file it concerns.
struct Problem {
  std::string file;
  std::string message;
};

// The validation problems among lines: everything but the progress notes ("Validating Phase
// [...]."). The file is the first bracketed text that looks like a path; messages about a
// phase section (missing, unreadable, bad command type) concern configFile.
std::vector<Problem> validationProblems(const std::vector<std::pair<std::string, std::string>>& lines,
                                        const std::string& configFile);

// Checks that the parameters name a phase configuration file and a log file, then starts the
// upgrade log there. False with a message naming paramFile and the key to set.
bool startLogs(const ZARezodudParams& params, const std::string& paramFile, std::string& error);

// True when every line of the upgrade and script-time logs was written; otherwise false with a
// message naming the log and the reason (a full disk). A run whose log is incomplete fails.
bool logsWritten(std::string& error);

// A fresh private directory (mode 0700) under $TMPDIR or /tmp, removed with its content on
// destruction. path() is "" when it could not be made.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

// Fills empty connection details (DBServer, SQLInstance, DBname, userId, password) with
// placeholders, so that the engine builds its database object without the registry. Only for
// the recording connection, which sends nothing anywhere.
void supplyPlaceholders(ZARezodudParams& params);

// On a service-pack upgrade (isServicePackUpgrade) loads what the script selection needs, as an
// upgrade program does before processing: the recut time of servicePack from the media
// description files beside databaseScriptsDir, CommonSQLFiles.lst, and the database's function
// and procedure maps. Call after validation (which records the scripts' times). Whatever cannot
// be loaded is reported on standard error and left empty, so those scripts run.
void loadServicePackState(INIFileProcessor& processor, const ZARezodudParams& params, int servicePack);

// The exit code for an engine outcome: 2 when the call failed or the code is an error, 1 for
// a warning code, else 0.
int exitCodeFor(unsigned int succeeded, int returnCode);

}  // namespace zcli

#endif
