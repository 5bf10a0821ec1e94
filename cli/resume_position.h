// Moving a position record past a script that is known to have completed, so that resuming
// does not run that script a second time. The engine resumes by running the recorded script
// again; when the state file says that script ended before the interruption, the front end
// points the record at what comes next instead: the next entry of the same list, or the
// start of the next list of the same stage. Other cases (the script ended a stage, lists of
// batch files or executables) are left alone and the script runs again.
//
// Thread-safety: uses the processor, so the caller's thread only.
#ifndef ZAREZODUD_CLI_RESUME_POSITION_H
#define ZAREZODUD_CLI_RESUME_POSITION_H

#include "engine/ini_file_processor.h"
#include "engine/result_messages.h"

namespace zcli {

// True when record (whose phase name is set) now points past its innermost current script.
// False leaves it unchanged. repair: the run is an upgrade repair (drop lists then run).
bool advancePastCompletedScript(INIFileProcessor& processor, RKZARezodud::ProcessPhase& record, bool repair);

}  // namespace zcli

#endif
