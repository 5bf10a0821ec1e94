#include "log/log_scanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/text_trim.h"
#include "platform/fs/shared_directory.h"

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
// INFORTYPELIST as views (their lengths known without counting).
constexpr std::string_view kMarkers[kInfoTypeCount] = {
    "###ERROR###", "###WARNING###", "###ADVICE###", "###HEADER###", "###DATA###", "###DESCRIPTION###",
};

// Leading white space off; a HEADER keeps only its first line; trailing white space off.
std::string_view finishMessage(std::string_view text, int type) {
  size_t begin = 0;
  while (begin < text.size() && isTrimSpace(text[begin])) ++begin;
  text.remove_prefix(begin);
  if (type == kInfoHeader) {
    const size_t lineBreak = text.find_first_of("\n\r");
    if (lineBreak != std::string_view::npos) text = text.substr(0, lineBreak);
  }
  size_t end = text.size();
  while (end > 0 && isTrimSpace(text[end - 1])) --end;
  return text.substr(0, end);
}

bool allTrimSpace(std::string_view text) {
  for (char c : text) {
    if (!isTrimSpace(c)) return false;
  }
  return true;
}

// The rest of a record with every record and line tag removed; tagAt is where the first tag
// starts in text (npos: none). Mostly one tag followed by the line end closes the record: then
// the text before the tag is the answer (the line end is white space that finishMessage trims
// anyway) and nothing is copied. Otherwise the text is built in scratch.
std::string_view withoutTags(std::string_view text, size_t tagAt, MatchEngine engine, std::string& scratch) {
  if (tagAt == std::string_view::npos) return text;
  if (engine == MatchEngine::kFast) {
    const size_t tagEnd = recNumTagEnd(text, tagAt);
    if (tagEnd != std::string_view::npos && text.find(kRecNumTag, tagEnd) == std::string_view::npos &&
        allTrimSpace(text.substr(tagEnd))) {
      return text.substr(0, tagAt);
    }
  }
  scratch = removeRecNumTags(text, engine);
  return scratch;
}

// Finds a fixed text in one record at or after a position that only ever grows. The last
// result is kept: it stays valid while it lies at or after the position, and "absent" stays
// valid for good, so every part of the record is searched at most once per needle.
class ForwardFinder {
 public:
  ForwardFinder(std::string_view record, std::string_view needle) : record_(record), needle_(needle) {}
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

  // Indexes record, whose first "###" is at first; hits keeps its storage across records.
  void reset(std::string_view record, size_t first) {
    hits_.clear();
    size_t p = first;
    while (p != std::string_view::npos) {
      const int type = markerAt(record, p);
      size_t from = p + 1;
      if (type >= 0) {
        hits_.push_back(Hit{p, type});
        // A marker's name holds no '#': the next marker can start no earlier than its closing
        // "###" (markers may share it).
        from = p + markerLength(type) - kMarkerCore.size();
      }
      p = record.find(kMarkerCore, from);
    }
    for (size_t& cursor : cursors_) cursor = 0;
  }

  // The length of a marker of the given type.
  static size_t markerLength(int type) { return kMarkers[type].size(); }

  size_t at(int type, size_t from) {
    size_t& i = cursors_[type];
    while (i < hits_.size() && (hits_[i].type != type || hits_[i].pos < from)) ++i;
    return i < hits_.size() ? hits_[i].pos : std::string_view::npos;
  }

 private:
  // The marker that starts at p (which starts "###"), or -1. The letter after "###" tells
  // which marker it can be (only DATA and DESCRIPTION share theirs).
  static int markerAt(std::string_view record, size_t p) {
    if (p + 3 >= record.size()) return -1;
    int candidate = -1;
    switch (record[p + 3]) {
      case 'E':
        candidate = kInfoError;
        break;
      case 'W':
        candidate = kInfoWarning;
        break;
      case 'A':
        candidate = kInfoAdvice;
        break;
      case 'H':
        candidate = kInfoHeader;
        break;
      case 'D':
        if (record.compare(p, kMarkers[kInfoData].size(), kMarkers[kInfoData]) == 0) return kInfoData;
        candidate = kInfoDescription;
        break;
      default:
        return -1;
    }
    return record.compare(p, kMarkers[candidate].size(), kMarkers[candidate]) == 0 ? candidate : -1;
  }
  std::vector<Hit> hits_;
  size_t cursors_[kInfoTypeCount] = {};
};

// The marker loop over the records of one scan; emit(type, message) receives every marked
// message in order (the message view is valid during the call only).
template <class Emit>
class RecordScanner {
 public:
  RecordScanner(MatchEngine engine, Emit& emit) : m_engine(engine), m_emit(emit) {}

  // Starts a new text whose records scan() will be given in order.
  void startText(std::string_view text) {
    m_text = text;
    m_nextCore = 0;
    m_coreKnown = false;
  }

  // The record text[begin, end): the text between two time stamps. Every marker holds "###";
  // most records have none and need no further look. The next "###" of the text is looked for
  // once for all the records before it.
  void scan(size_t begin, size_t end) {
    if (!m_coreKnown || (m_nextCore != std::string_view::npos && m_nextCore < begin)) {
      m_nextCore = m_text.find(kMarkerCore, begin);
      m_coreKnown = true;
    }
    if (m_nextCore == std::string_view::npos || m_nextCore + kMarkerCore.size() > end) return;
    scanMarked(m_text.substr(begin, end - begin), m_nextCore - begin);
  }

 private:
  // A record holding "###" at firstCore.
  void scanMarked(std::string_view record, size_t firstCore) {
    m_markers.reset(record, firstCore);
    ForwardFinder tag(record, kRecNumTag);

    size_t rest = 0;  // the remaining text is record[rest, end)
    int type = 0;
    while (type < kInfoTypeCount) {
      const size_t found = m_markers.at(type, rest);
      if (found == std::string_view::npos) {
        ++type;
        continue;
      }
      rest = found + MarkerIndex::markerLength(type);

      // The next marker is the first one in table order that occurs anywhere in the rest,
      // not the nearest one.
      size_t next = std::string_view::npos;
      for (int m = 0; m < kInfoTypeCount && next == std::string_view::npos; ++m) next = m_markers.at(m, rest);
      const size_t tagAt = tag.at(rest);

      if (next != std::string_view::npos && (tagAt == std::string_view::npos || next < tagAt)) {
        m_emit(type, finishMessage(record.substr(rest, next - rest), type));
        rest = next;
        continue;  // the same type is searched again
      }
      const size_t tagInRest = tagAt == std::string_view::npos ? tagAt : tagAt - rest;
      m_emit(type, finishMessage(withoutTags(record.substr(rest), tagInRest, m_engine, m_scratch), type));
      return;
    }
  }

 public:
  // Every record of content that holds a marker, in order, as far as records start before
  // limit (their ends may not lie past the text's last time stamp before limit unless limit
  // is the text's end). text starts where a record starts: at the file's start or at a time
  // stamp. Only the stamps around markers are looked for (hand-written matcher; see
  // nextTimeStamp): records without a marker are passed over unread.
  void scanMarkedRecords(std::string_view text, size_t limit) {
    size_t from = 0;  // the file's start or a time stamp
    for (;;) {
      const size_t marker = text.find(kMarkerCore, from);
      if (marker == std::string_view::npos || marker >= limit) return;
      // No "###" between from and marker, so marker is the first of its record.
      const size_t stamp = lastTimeStampBefore(text, marker, from);
      const size_t begin = stamp == std::string_view::npos ? from : stamp + kTimeStampLength;
      const size_t next = nextTimeStamp(text, marker);
      const size_t end = next == std::string_view::npos ? text.size() : next;
      scanMarked(text.substr(begin, end - begin), marker - begin);
      if (next == std::string_view::npos) return;
      from = next;
    }
  }

  // Every record of content, in order.
  void scanAll(std::string_view content) {
    if (m_engine == MatchEngine::kFast) {
      scanMarkedRecords(content, content.size());
      return;
    }
    startText(content);
    TimeStampCursor stamps(content, m_engine);
    size_t recordStart = 0;
    size_t stampBegin = 0;
    size_t stampEnd = 0;
    while (stamps.next(stampBegin, stampEnd)) {
      scan(recordStart, stampBegin);
      recordStart = stampEnd;
    }
    scan(recordStart, content.size());
  }

 private:
  std::string_view m_text;
  size_t m_nextCore = 0;
  bool m_coreKnown = false;
  MatchEngine m_engine;
  Emit& m_emit;
  MarkerIndex m_markers;
  std::string m_scratch;
};

struct LogInfoSink {
  std::vector<LOGINFO>& entries;
  void operator()(int type, std::string_view message) {
    LOGINFO entry;
    entry.type = type;
    entry.message.assign(message.data(), message.size());
    entries.push_back(std::move(entry));
  }
};

struct FlatSink {
  ScannedMessages& found;
  void operator()(int type, std::string_view message) {
    found.entries.push_back(ScannedMessages::Entry{type, found.text.size(), message.size()});
    found.text.append(message.data(), message.size());
  }
};

template <class Sink>
void scanContent(std::string_view content, Sink& sink, MatchEngine engine) {
  try {
    RecordScanner<Sink> scanner(engine, sink);
    scanner.scanAll(content);
  } catch (const std::exception&) {
    // Out of memory or a regex engine limit: what was found so far stays.
  }
}

// Reads a file block by block and hands each complete record to the scanner. A block is
// scanned up to the last time stamp found in it; the rest (that stamp and the record it
// opens) moves to the front and is scanned again once more text has arrived. A record longer
// than the buffer makes the buffer grow, so a file without time stamps is read whole.
class BlockReader {
 public:
  BlockReader(int fd, size_t blockSize) : m_fd(fd), m_blockSize(blockSize > 0 ? blockSize : 1) {}

  // False on a read error.
  template <class Scanner>
  bool run(Scanner& scanner, MatchEngine engine, bool* hadContent) {
    *hadContent = false;
    bool carriedStamp = false;  // the buffer starts with a stamp whose record came before
    bool atEnd = false;
    while (!atEnd) {
      if (!fill(&atEnd)) return false;
      if (m_filled > 0) *hadContent = true;
      const std::string_view text(m_buffer.get(), m_filled);
      if (engine == MatchEngine::kFast) {
        // Records up to the last time stamp are whole; the rest waits for more text.
        const size_t lastStamp = atEnd ? std::string_view::npos : lastTimeStampBefore(text, text.size(), 0);
        if (atEnd) {
          scanner.scanMarkedRecords(text, text.size());
        } else if (lastStamp != std::string_view::npos && lastStamp > 0) {
          scanner.scanMarkedRecords(text, lastStamp);
          std::memmove(m_buffer.get(), m_buffer.get() + lastStamp, m_filled - lastStamp);
          m_filled -= lastStamp;
        }
        continue;
      }
      scanner.startText(text);
      TimeStampCursor stamps(text, engine);
      size_t recordStart = 0;
      size_t lastStamp = std::string_view::npos;
      size_t stampBegin = 0;
      size_t stampEnd = 0;
      while (stamps.next(stampBegin, stampEnd)) {
        if (!carriedStamp || stampBegin != 0) scanner.scan(recordStart, stampBegin);
        carriedStamp = false;
        recordStart = stampEnd;
        lastStamp = stampBegin;
      }
      if (atEnd) {
        scanner.scan(recordStart, text.size());
      } else if (lastStamp != std::string_view::npos && lastStamp > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + lastStamp, m_filled - lastStamp);
        m_filled -= lastStamp;
        carriedStamp = true;
      } else {
        // No record ended in the buffer: keep it whole and read on.
        carriedStamp = lastStamp == 0;
      }
    }
    return true;
  }

 private:
  // Reads until the buffer is full (growing it when it already was) or the file ends.
  bool fill(bool* atEnd) {
    if (!m_buffer || m_filled == m_capacity) {
      const size_t capacity = m_capacity == 0 ? m_blockSize : m_capacity * 2;
      std::unique_ptr<char[]> grown(new char[capacity]);
      if (m_filled > 0) std::memcpy(grown.get(), m_buffer.get(), m_filled);
      m_buffer = std::move(grown);
      m_capacity = capacity;
    }
    while (m_filled < m_capacity) {
      const ssize_t got = ::read(m_fd, m_buffer.get() + m_filled, m_capacity - m_filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return false;
      if (got == 0) {
        *atEnd = true;
        return true;
      }
      m_filled += static_cast<size_t>(got);
    }
    return true;
  }

  int m_fd;
  size_t m_blockSize;
  std::unique_ptr<char[]> m_buffer;
  size_t m_capacity = 0;
  size_t m_filled = 0;
};

// Opens path read-only: a script output file that the process may not write can still be
// scanned. -1 (and the failure logged) for a missing file or a directory.
int openForScan(const std::string& path) {
  // Read-only: a script output file that the process may not write can still be scanned.
  // Opened without waiting on a FIFO and, in a directory other users can write, without
  // following a link planted in the file's place.
  std::string why;
  const int fd = openRefusingPlantedLinks(path, O_RDONLY | O_NONBLOCK, 0, why);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (fd >= 0) ::close(fd);
    UtilityLogger::LogLine("Failed to open the file [" + path + "].");
    return -1;
  }
  return fd;
}

template <class Sink>
FileScan scanFile(const std::string& path, Sink& sink, MatchEngine engine, size_t blockSize) {
  const int fd = openForScan(path);
  if (fd < 0) return FileScan::kUnreadable;
  bool hadContent = false;
  bool readAll = false;
  try {
    RecordScanner<Sink> scanner(engine, sink);
    BlockReader reader(fd, blockSize);
    readAll = reader.run(scanner, engine, &hadContent);
  } catch (const std::exception&) {
    // Out of memory or a regex engine limit: what was found so far stays.
  }
  ::close(fd);
  if (!readAll) {
    UtilityLogger::LogLine("Failed to read the file [" + path + "].");
    return FileScan::kUnreadable;
  }
  return hadContent ? FileScan::kScanned : FileScan::kEmpty;
}

}  // namespace

void scanScriptOutput(std::string_view content, std::vector<LOGINFO>& entries, MatchEngine engine) {
  LogInfoSink sink{entries};
  scanContent(content, sink, engine);
}

void scanScriptOutput(std::string_view content, ScannedMessages& found, MatchEngine engine) {
  FlatSink sink{found};
  scanContent(content, sink, engine);
}

FileScan scanScriptOutputFile(const std::string& path, std::vector<LOGINFO>& entries, MatchEngine engine,
                              size_t blockSize) {
  LogInfoSink sink{entries};
  return scanFile(path, sink, engine, blockSize);
}

FileScan scanScriptOutputFile(const std::string& path, ScannedMessages& found, MatchEngine engine,
                              size_t blockSize) {
  FlatSink sink{found};
  return scanFile(path, sink, engine, blockSize);
}

}  // namespace zarezodud

bool UtilityLogger::GetFileContent(const std::string& path, std::string& content) {
  const int fd = zarezodud::openForScan(path);
  if (fd < 0) return false;
  bool readAll = true;
  try {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
      content.reserve(content.size() + static_cast<size_t>(info.st_size));
    }
    char block[65536];
    for (;;) {
      const ssize_t got = ::read(fd, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        readAll = false;
        break;
      }
      if (got == 0) break;
      content.append(block, static_cast<size_t>(got));
    }
  } catch (const std::exception&) {
    readAll = false;
  }
  ::close(fd);
  if (!readAll) {
    LogLine("Failed to read the file [" + path + "].");
    return false;
  }
  return !content.empty();
}

bool UtilityLogger::GetErrorListS(const std::string& path, std::vector<LOGINFO>& entries) {
  const size_t before = entries.size();
  const zarezodud::FileScan result = zarezodud::scanScriptOutputFile(path, entries);
  // A file that could not be read to its end gives nothing, not a part of its messages.
  if (result == zarezodud::FileScan::kUnreadable) entries.resize(before);
  return result == zarezodud::FileScan::kScanned;
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
  zarezodud::ScannedMessages found;
  if (zarezodud::scanScriptOutputFile(path, found) != zarezodud::FileScan::kScanned) return;
  zarezodud::fillScriptResult(std::move(found), script);
}
