// What the command keeps about a run beyond the engine's journal: the items it stores in the
// journal's header so that `run --resume` can take them from there (the --set overrides, the
// report path, the backend), the identity it compares on a resume, and the atomic writing of
// the run's reports. No password is ever stored.
//
// Thread-safety: plain data and stateless functions.
#ifndef ZAREZODUD_CLI_RUN_STATE_H
#define ZAREZODUD_CLI_RUN_STATE_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_journal.h"
#include "engine/zarezodud_params.h"

namespace zcli {

// The command's items of a run, kept as host data in the journal header.
struct RunSettings {
  std::vector<std::string> overrides;  // --set items of the first run
  std::string reportFile;
  std::string backend;  // "odbc" or "record:<file>"

  RunJournal::HostData toHostData() const;
  static RunSettings fromReplay(const RunJournalReplay& replay);
};

// The identity of a run of phase with params read from paramsFile. The instance is left empty:
// the command fills it in once the database connection says which instance it reached.
RunJournalIdentity identityOf(const ZARezodudParams& params, const std::string& paramsFile,
                              const std::string& phase);

}  // namespace zcli

#endif
