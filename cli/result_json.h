// JSON form of the per-script result records (name, description, return code, messages with
// severity, message, advice and data rows), shared by scan and the run report.
#ifndef ZAREZODUD_CLI_RESULT_JSON_H
#define ZAREZODUD_CLI_RESULT_JSON_H

#include "engine/result_messages.h"
#include "json_writer.h"

namespace zcli {

void writeScriptJson(JsonWriter& w, const RKZARezodud::Script& script);

}  // namespace zcli

#endif
