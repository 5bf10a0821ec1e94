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
// Files are read in blocks, record by record, so a file is never held in memory whole (only
// its longest record and the messages found). The messages of one scan can be kept flat:
// every text back to back in one buffer, which the script result then views without copying.
//
// Thread-safety: pure functions over their arguments (the expressions they use are
// immutable statics, see log/scan_expressions.h).
#ifndef ZAREZODUD_LOG_LOG_SCANNER_H
#define ZAREZODUD_LOG_LOG_SCANNER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "log/result_messages.h"
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

// The marked messages of one scan, flat: the entries in file order, their texts back to back.
struct ScannedMessages {
  struct Entry {
    int type;
    std::size_t offset;  // of the message in text
    std::size_t size;
  };
  std::vector<Entry> entries;
  std::string text;

  std::string_view message(const Entry& entry) const {
    return std::string_view(text).substr(entry.offset, entry.size);
  }
};

// Appends one entry per marked message of content to entries. Never throws; on an
// internal failure (for example out of memory) the entries found so far stay appended.
// Both engines give the same entries; the Boost one is slower.
void scanScriptOutput(std::string_view content, std::vector<LOGINFO>& entries,
                      MatchEngine engine = MatchEngine::kFast);
void scanScriptOutput(std::string_view content, ScannedMessages& found,
                      MatchEngine engine = MatchEngine::kFast);

// What scanning a file found.
enum class FileScan {
  kUnreadable,  // not opened or not read to its end; "Failed to open the file [<path>]." or
                // "Failed to read the file [<path>]." went to the utility log
  kEmpty,       // no content
  kScanned,     // content scanned (markers or not)
};

// The size of the blocks files are read in.
constexpr std::size_t kScanBlockSize = std::size_t{256} * 1024;

// Scans the file at path, read-only and in blocks of blockSize bytes (a record longer than a
// block makes the block grow); entries as scanScriptOutput. What was found before a read
// failure stays appended.
FileScan scanScriptOutputFile(const std::string& path, std::vector<LOGINFO>& entries,
                              MatchEngine engine = MatchEngine::kFast,
                              std::size_t blockSize = kScanBlockSize);
FileScan scanScriptOutputFile(const std::string& path, ScannedMessages& found,
                              MatchEngine engine = MatchEngine::kFast,
                              std::size_t blockSize = kScanBlockSize);

// Fills a script result from scanned entries: ERROR and WARNING entries become messages
// (severity 2 and 1) in file order; ADVICE and DATA rows attach to the message pending when
// they are seen (the first message when they come before any); HEADER names the cells of
// later DATA rows; DESCRIPTION sets the description. Without any ERROR or WARNING, advice and
// rows are dropped. Fields not mentioned stay as they were. The flat form's text is taken
// over and viewed by the record's strings.
void fillScriptResult(ScannedMessages&& found, RKZARezodud::Script& script);
void fillScriptResult(const std::vector<LOGINFO>& entries, RKZARezodud::Script& script);

}  // namespace zarezodud

#endif
