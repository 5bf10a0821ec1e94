#include "run_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/atomic_file.h"

namespace zcli {

namespace {
const char kOverride[] = "override";
const char kReport[] = "report";
const char kBackend[] = "backend";
}  // namespace

RunJournal::HostData RunSettings::toHostData() const {
  RunJournal::HostData data;
  for (const std::string& item : overrides) data.emplace_back(kOverride, item);
  data.emplace_back(kReport, reportFile);
  data.emplace_back(kBackend, backend);
  return data;
}

RunSettings RunSettings::fromReplay(const RunJournalReplay& replay) {
  RunSettings settings;
  settings.overrides = replay.host(kOverride);
  const std::vector<std::string> report = replay.host(kReport);
  if (!report.empty()) settings.reportFile = report.front();
  const std::vector<std::string> backend = replay.host(kBackend);
  settings.backend = backend.empty() ? "odbc" : backend.front();
  return settings;
}

RunJournalIdentity identityOf(const ZARezodudParams& params, const std::string& paramsFile,
                              const std::string& phase) {
  RunJournalIdentity identity;
  identity.product = params.productName();
  identity.server = params.DBServer();
  identity.database = params.DBname();
  identity.paramsFile = paramsFile;
  identity.configFile = params.configFile();
  identity.phase = phase;
  return identity;
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error) {
  return writeFileAtomically(
      path, [&text](const std::function<bool(std::string_view)>& write) { return write(text); }, error);
}

bool writeFileAtomically(const std::string& path,
                         const std::function<bool(const std::function<bool(std::string_view)>&)>& produce,
                         std::string& error) {
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  zarezodud::ReplacementFile file;
  if (!file.create(target, ".zarezodud-")) {
    error = "cannot create a temporary file beside [" + path + "]: " + std::strerror(errno);
    return false;
  }
  FILE* stream = file.stream();
  const auto write = [stream](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), stream) == piece.size();
  };
  if (!produce(write)) {
    error = "cannot write [" + file.path() + "]";
    file.discard();
    return false;
  }
  switch (file.commit()) {
    case zarezodud::ReplacementFile::CommitResult::kDone:
      return true;
    case zarezodud::ReplacementFile::CommitResult::kWriteFailed:
      error = "cannot write [" + path + "] (disk full?)";
      return false;
    case zarezodud::ReplacementFile::CommitResult::kRenameFailed:
      error = "cannot replace [" + path + "]";
      return false;
  }
  return false;
}

}  // namespace zcli
