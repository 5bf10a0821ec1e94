#include "log/log_scanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "config/text_trim.h"
#include "engine/result_messages.h"
#include "platform/shared_directory.h"

namespace zarezodud {

const char* const INFORTYPELIST[kInfoTypeCount] = {
    "###ERROR###", "###WARNING###", "###ADVICE###", "###HEADER###", "###DATA###", "###DESCRIPTION###",
};
const char* const kCellSeparator = ":,:";

namespace {

// Where a record and line tag would start; the marker loop compares marker positions with it.
constexpr std::string_view kRecNumTag = "] [RecNum:";
// Common to every marker of INFORTYPELIST.
constexpr std::string_view kMarkerCore = "###";

// Leading white space off; a HEADER keeps only its first line; trailing white space off.
std::string finishMessage(std::string_view text, int type) {
  size_t begin = 0;
  while (begin < text.size() && isTrimSpace(text[begin])) ++begin;
  text.remove_prefix(begin);
  if (type == kInfoHeader) {
    const size_t lineBreak = text.find_first_of("\n\r");
    if (lineBreak != std::string_view::npos) text = text.substr(0, lineBreak);
  }
  size_t end = text.size();
  while (end > 0 && isTrimSpace(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

// Finds a fixed text in one record at or after a position that only ever grows. The last
// result is kept: it stays valid while it lies at or after the position, and "absent" stays
// valid for good, so every part of the record is searched at most once per needle.
class ForwardFinder {
 public:
  ForwardFinder() = default;
  void reset(std::string_view record, std::string_view needle) {
    record_ = record;
    needle_ = needle;
    known_ = false;
  }
  size_t at(size_t from) {
    if (!known_ || (found_ != std::string_view::npos && found_ < from)) {
      found_ = record_.find(needle_, from);
      known_ = true;
    }
    return found_;
  }

 private:
  std::string_view record_;
  std::string_view needle_;
  size_t found_ = std::string_view::npos;
  bool known_ = false;
};

// Where each marker occurs in one record, found in one pass over the "###" in it.
// at(type, from) gives the first occurrence of that marker at or after from; from may only
// grow between calls, which lets each type's cursor walk the hits once.
class MarkerIndex {
 public:
  struct Hit {
    size_t pos;
    int type;
  };

  // Indexes record; hits keeps its storage across records.
  void reset(std::string_view record) {
    hits_.clear();
    for (size_t p = record.find(kMarkerCore); p != std::string_view::npos;
         p = record.find(kMarkerCore, p + 1)) {
      const int type = markerAt(record, p);
      if (type >= 0) hits_.push_back(Hit{p, type});
    }
    for (size_t& cursor : cursors_) cursor = 0;
  }

  // The length of a marker of the given type.
  static size_t markerLength(int type) {
    static const size_t lengths[kInfoTypeCount] = {
        std::strlen(INFORTYPELIST[0]), std::strlen(INFORTYPELIST[1]), std::strlen(INFORTYPELIST[2]),
        std::strlen(INFORTYPELIST[3]), std::strlen(INFORTYPELIST[4]), std::strlen(INFORTYPELIST[5])};
    return lengths[type];
  }

  size_t at(int type, size_t from) {
    size_t& i = cursors_[type];
    while (i < hits_.size() && (hits_[i].type != type || hits_[i].pos < from)) ++i;
    return i < hits_.size() ? hits_[i].pos : std::string_view::npos;
  }

 private:
  // The marker that starts at p (which starts "###"), or -1. No two markers can start at the
  // same place: they differ right after "###".
  static int markerAt(std::string_view record, size_t p) {
    for (int m = 0; m < kInfoTypeCount; ++m) {
      if (record.compare(p, markerLength(m), INFORTYPELIST[m]) == 0) return m;
    }
    return -1;
  }
  std::vector<Hit> hits_;
  size_t cursors_[kInfoTypeCount] = {};
};

// The marker loop over one record (text between two time stamps).
void scanRecord(std::string_view record, MatchEngine engine, MarkerIndex& markers,
                std::vector<LOGINFO>& entries) {
  // Every marker holds "###": most records have none and need no further look.
  if (record.find(kMarkerCore) == std::string_view::npos) return;
  markers.reset(record);
  ForwardFinder tag;
  tag.reset(record, kRecNumTag);

  size_t rest = 0;  // the remaining text is record[rest, end)
  int type = 0;
  while (type < kInfoTypeCount) {
    const size_t found = markers.at(type, rest);
    if (found == std::string_view::npos) {
      ++type;
      continue;
    }
    rest = found + MarkerIndex::markerLength(type);

    // The next marker is the first one in table order that occurs anywhere in the rest,
    // not the nearest one.
    size_t next = std::string_view::npos;
    for (int m = 0; m < kInfoTypeCount && next == std::string_view::npos; ++m) next = markers.at(m, rest);
    const size_t tagAt = tag.at(rest);

    LOGINFO entry;
    entry.type = type;
    if (next != std::string_view::npos && (tagAt == std::string_view::npos || next < tagAt)) {
      entry.message = finishMessage(record.substr(rest, next - rest), type);
      entries.push_back(std::move(entry));
      rest = next;
      continue;  // the same type is searched again
    }
    entry.message = finishMessage(removeRecNumTags(record.substr(rest), engine), type);
    entries.push_back(std::move(entry));
    return;
  }
}

}  // namespace

void scanScriptOutput(std::string_view content, std::vector<LOGINFO>& entries, MatchEngine engine) {
  try {
    TimeStampCursor stamps(content, engine);
    MarkerIndex markers;
    size_t recordStart = 0;
    size_t stampBegin = 0;
    size_t stampEnd = 0;
    while (stamps.next(stampBegin, stampEnd)) {
      scanRecord(content.substr(recordStart, stampBegin - recordStart), engine, markers, entries);
      recordStart = stampEnd;
    }
    scanRecord(content.substr(recordStart), engine, markers, entries);
  } catch (const std::exception&) {
    // Out of memory or a regex engine limit: what was found so far stays.
  }
}

void fillScriptResult(const std::vector<LOGINFO>& entries, RKZARezodud::Script& script) {
  RKZARezodud::Error error;
  RKZARezodud::ColumnData cell;
  RKZARezodud::DataGroup row;
  std::vector<std::string> headers;
  bool errorPending = false;

  for (const LOGINFO& entry : entries) {
    switch (entry.type) {
      case kInfoError:
      case kInfoWarning:
        // Advice and rows seen so far belong to the pending message; a new one starts clean.
        if (errorPending) {
          script.errors().append(error);
          error.rows().clear();
          error.setAdvice(std::string());
        }
        error.setSeverity(entry.type == kInfoError ? 2 : 1);
        error.setMessage(entry.message);
        errorPending = true;
        break;
      case kInfoAdvice:
        error.setAdvice(entry.message);
        break;
      case kInfoHeader:
        headers = UtilityLogger::splitRK(entry.message, kCellSeparator);
        break;
      case kInfoData: {
        const std::vector<std::string> values = UtilityLogger::splitRK(entry.message, kCellSeparator);
        for (size_t i = 0; i < values.size(); ++i) {
          // Past the last header the cell keeps the name it had last.
          if (i < headers.size()) cell.setName(headers[i]);
          cell.setValue(values[i]);
          row.cells().append(cell);
        }
        error.rows().append(row);
        row.cells().clear();
        break;
      }
      case kInfoDescription:
        script.setDescription(entry.message);
        break;
      default:
        break;
    }
  }
  if (errorPending) script.errors().append(error);
}

}  // namespace zarezodud

bool UtilityLogger::GetFileContent(const std::string& path, std::string& content) {
  // Read-only: a script output file that the process may not write can still be scanned.
  // Opened without waiting on a FIFO and, in a directory other users can write, without
  // following a link planted in the file's place.
  std::string why;
  const int fd = zarezodud::openRefusingPlantedLinks(path, O_RDONLY | O_NONBLOCK, 0, why);
  std::FILE* file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (fd >= 0 && file == nullptr) ::close(fd);
  struct stat info {};
  if (file == nullptr || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    if (file != nullptr) std::fclose(file);
    LogLine("Failed to open the file [" + path + "].");
    return false;
  }
  try {
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
      content.reserve(content.size() + static_cast<size_t>(info.st_size));
    }
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) content.append(block, got);
  } catch (const std::exception&) {
    std::fclose(file);
    LogLine("Failed to read the file [" + path + "].");
    return false;
  }
  std::fclose(file);
  return !content.empty();
}

bool UtilityLogger::GetErrorListS(const std::string& path, std::vector<LOGINFO>& entries) {
  std::string content;
  if (!GetFileContent(path, content)) return false;
  zarezodud::scanScriptOutput(content, entries);
  return true;
}

std::vector<std::string> UtilityLogger::splitRK(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    // Nothing to split at: the text is one piece.
    pieces.push_back(text);
    return pieces;
  }
  size_t start = 0;
  for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

void UtilityLogger::GetXMLMsgFromFile(const std::string& path, RKZARezodud::Script& script) {
  std::vector<LOGINFO> entries;
  if (!GetErrorListS(path, entries)) return;
  zarezodud::fillScriptResult(entries, script);
}
