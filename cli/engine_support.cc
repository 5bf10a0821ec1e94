#include "engine_support.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "db/return_codes.h"
#include "engine/ini_file_processor.h"
#include "log/zarezodud_logger.h"

namespace zcli {

LogTap::LogTap() {
  ZARezodudLogger::setLineTap(
      [this](const char* context, const std::string& message) { m_lines.emplace_back(context, message); });
}

LogTap::~LogTap() { ZARezodudLogger::setLineTap(nullptr); }

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The first "[...]" of message whose content contains a '/', or "".
std::string bracketedPath(const std::string& message) {
  size_t from = 0;
  while (true) {
    const size_t open = message.find('[', from);
    if (open == std::string::npos) return std::string();
    const size_t close = message.find(']', open);
    if (close == std::string::npos) return std::string();
    std::string inside = message.substr(open + 1, close - open - 1);
    if (inside.find('/') != std::string::npos) return inside;
    from = close + 1;
  }
}

// "Couldn't get ... of [the] file <path>." has its path unbracketed at the end.
std::string trailingPath(const std::string& message) {
  const size_t file = message.rfind("file ");
  if (file == std::string::npos) return std::string();
  std::string path = message.substr(file + 5);
  if (!path.empty() && path.back() == '.') path.pop_back();
  return path.find('/') != std::string::npos ? path : std::string();
}

}  // namespace

std::vector<Problem> validationProblems(const std::vector<std::pair<std::string, std::string>>& lines,
                                        const std::string& configFile) {
  std::vector<Problem> problems;
  for (const auto& line : lines) {
    const std::string& message = line.second;
    if (startsWith(message, "Validating Phase [")) continue;
    Problem problem;
    problem.message = message;
    if (startsWith(message, "Couldn't get")) {
      problem.file = trailingPath(message);
    } else if (!startsWith(message, "Missing Phase") && !startsWith(message, "Failed to Read Phase") &&
               !startsWith(message, "Invalid Command Type") &&
               !startsWith(message, "Non-Supported ReleaseId") &&
               !startsWith(message, "Validation of Phase") && !startsWith(message, "Phase [")) {
      problem.file = bracketedPath(message);
    }
    if (problem.file.empty()) problem.file = configFile;
    problems.push_back(problem);
  }
  return problems;
}

bool startLogs(const ZARezodudParams& params, const std::string& paramFile, std::string& error) {
  if (params.m_configFile[0] == '\0') {
    error = paramFile + ": configFile is empty. Set configFile= to the phase configuration file.";
    return false;
  }
  if (params.m_logfile[0] == '\0') {
    error = paramFile + ": logfile is empty. Set logfile= to the upgrade log's path.";
    return false;
  }
  const std::filesystem::path logDir = std::filesystem::path(params.logfile()).parent_path();
  std::error_code ec;
  if (!logDir.empty()) std::filesystem::create_directories(logDir, ec);
  if (!ZARezodudLogger::init(params.logfile())) {
    const std::string reason = ZARezodudLogger::initFailure();
    error = params.logfile() + ": cannot start the upgrade log" +
            (reason.empty() ? "" : " (" + reason + ")") +
            ". Make its directory writable or change logfile= in " + paramFile + ".";
    return false;
  }
  return true;
}

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zarezodud-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

ScratchDir::~ScratchDir() {
  if (m_path.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

void supplyPlaceholders(ZARezodudParams& params) {
  if (params.m_DBServer[0] == '\0') params.setDBServer("SQL Server");
  if (params.m_SQLInstance[0] == '\0') params.setSQLInstance("rehearsal-instance");
  if (params.m_DBname[0] == '\0') params.setDBname("rehearsal_database");
  if (params.m_userId[0] == '\0') params.setUserId("rehearsal");
  if (params.m_password[0] == '\0') params.setPassword("rehearsal-placeholder");
}

bool logsWritten(std::string& error) {
  const std::string failure = ZARezodudLogger::writeFailure();
  if (failure.empty()) return true;
  error = "the " + failure + ". The run's record is incomplete; free space where the logs are and run again.";
  return false;
}

int exitCodeFor(unsigned int succeeded, int returnCode) {
  if (!succeeded || isErrorCode(returnCode)) return 2;
  if (isWarningCode(returnCode)) return 1;
  return 0;
}

void loadServicePackState(INIFileProcessor& processor, const ZARezodudParams& params, int servicePack) {
  if (!params.isServicePackUpgrade()) return;
  const auto warn = [](const std::string& what) {
    std::cerr << "zarezodud: warning: " << what << "; the scripts it would let skip will run.\n";
  };
  if (servicePack < 0) {
    warn("no --service-pack given, so no recut time");
  } else if (!processor.getRecutTimeFromDVDInfo(params.currentReleaseId(), servicePack)) {
    warn("the recut time could not be read from the media description beside " + params.databaseScriptsDir());
  }
  if (!processor.populateCommonSQLFilesList()) {
    warn("CommonSQLFiles.lst could not be read in " + params.commonScriptsDir());
  }
  if (!processor.populateFuncMapINI(params.DBname()) || !processor.populateSPMapINI(params.DBname())) {
    warn("the database's function and procedure lists could not be read");
  }
}

}  // namespace zcli
