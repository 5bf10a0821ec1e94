// JSON form of the per-script result records (name, description, return code, messages with
// severity, message, advice and data rows), shared by scan and the run report.
#ifndef ZAREZODUD_CLI_RESULT_JSON_H
#define ZAREZODUD_CLI_RESULT_JSON_H

#include <string>
#include <vector>

#include "log/result_messages.h"
#include "json_writer.h"

namespace zcli {

void writeScriptJson(JsonWriter& w, const RKZARezodud::Script& script);

// The JSON member names for a data row's cells, given the cells' column names in order: a cell
// without a name is "column<N>" (N its position from 1), and a name already taken in the row
// gets "_2", "_3", ... appended, so that no object has two members of one name (most readers
// would keep only the last).
std::vector<std::string> uniqueCellKeys(const std::vector<std::string>& names);

}  // namespace zcli

#endif
