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

}  // namespace zcli
