// The scanner of SQL script output files behind UtilityLogger::GetErrorListS and
// UtilityLogger::GetXMLMsgFromFile, usable on text already in memory.
//
// A script output file is a sequence of records, each starting on a line with a
// "MM/DD/YY HH:MM:SS" stamp. Upgrade scripts mark the messages meant for the caller with
// the markers of INFORTYPELIST; each marked message becomes one LOGINFO entry.
// Within a record the markers are looked for in table order: a marker's text runs up to the
// next marker (the first in table order that occurs in the rest of the record, not the
// nearest) or, when the record and line tag comes first, to the end of the record with the
// tag removed, which ends the record. Lower markers after a higher one are not revisited.
//
// Thread-safety: pure functions over their arguments (the expressions they use are
// immutable statics, see log/scan_expressions.h).
#ifndef ZAREZODUD_LOG_LOG_SCANNER_H
#define ZAREZODUD_LOG_LOG_SCANNER_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/result_messages.h"
#include "log/scan_expressions.h"
#include "log/utility_logger.h"

namespace zarezodud {

// The markers, searched in this order; the index is the entry's type.
constexpr int kInfoTypeCount = 6;
extern const char* const INFORTYPELIST[kInfoTypeCount];
enum InfoType {
  kInfoError = 0,
  kInfoWarning = 1,
  kInfoAdvice = 2,
  kInfoHeader = 3,
  kInfoData = 4,
  kInfoDescription = 5,
};

// Separates the cells of HEADER and DATA messages.
extern const char* const kCellSeparator;

// Appends one entry per marked message of content to entries. Never throws; on an
// internal failure (for example out of memory) the entries found so far stay appended.
// Both engines give the same entries; the Boost one is slower.
void scanScriptOutput(std::string_view content, std::vector<LOGINFO>& entries,
                      MatchEngine engine = MatchEngine::kFast);

// Fills a script result from scanned entries: ERROR and WARNING entries become messages
// (severity 2 and 1) in file order; ADVICE and DATA rows attach to the message pending when
// they are seen (the first message when they come before any); HEADER names the cells of
// later DATA rows; DESCRIPTION sets the description. Without any ERROR or WARNING, advice and
// rows are dropped. Fields not mentioned stay as they were.
void fillScriptResult(const std::vector<LOGINFO>& entries, RKZARezodud::Script& script);

}  // namespace zarezodud

#endif
