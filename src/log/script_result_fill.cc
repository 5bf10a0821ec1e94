// Builds a script's result record from the marked messages of its output (fillScriptResult).
// Records are made in place in the script's lists, and their strings view the scan's text.
#include <utility>

#include "log/log_scanner.h"

namespace zarezodud {
namespace {

// The pieces of text between occurrences of kCellSeparator, empty pieces included; the piece
// after the last separator always counts (UtilityLogger::splitRK over views).
void splitCells(std::string_view text, std::vector<std::string_view>& pieces) {
  const std::string_view kSeparator(kCellSeparator);
  pieces.clear();
  size_t start = 0;
  for (size_t at = text.find(kSeparator); at != std::string_view::npos; at = text.find(kSeparator, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + kSeparator.size();
  }
  pieces.push_back(text.substr(start));
}

}  // namespace

void fillScriptResult(ScannedMessages&& found, RKZARezodud::Script& script) {
  const RKZARezodud::Script::SharedText text(std::move(found.text));
  const std::string_view all = text.view();

  // Advice and rows seen before the first message go to a record of their own, which
  // becomes the first message; after that they go to the last message stored.
  RKZARezodud::Error early;
  RKZARezodud::Error* current = &early;
  bool anyMessage = false;
  bool anyRow = false;  // once a row was seen, every later message holds a (maybe empty) row list
  std::vector<std::string_view> headers;
  std::vector<std::string_view> values;
  std::string_view cellName;
  bool cellNamed = false;  // a cell's name is the last header name given to any cell, if any

  for (const ScannedMessages::Entry& entry : found.entries) {
    const std::string_view message = all.substr(entry.offset, entry.size);
    switch (entry.type) {
      case kInfoError:
      case kInfoWarning: {
        const bool first = !anyMessage;
        current = first ? script.errors().append(std::move(*current))  // current is early
                        : script.errors().append(RKZARezodud::Error());
        anyMessage = true;
        // Fields in number order, the cheapest way to fill a record. A later message starts
        // with empty advice and no rows.
        current->setSeverity(entry.type == kInfoError ? 2 : 1);
        current->setMessage(text, message);
        if (!first) {
          current->setAdvice(std::string());
          if (anyRow) current->rows().create();
        }
        break;
      }
      case kInfoAdvice:
        current->setAdvice(text, message);
        break;
      case kInfoHeader:
        splitCells(message, headers);
        break;
      case kInfoData: {
        splitCells(message, values);
        RKZARezodud::DataGroup* row = current->rows().append(RKZARezodud::DataGroup());
        for (size_t i = 0; i < values.size(); ++i) {
          RKZARezodud::ColumnData* cell = row->cells().append(RKZARezodud::ColumnData());
          // Past the last header a cell keeps the name the previous cell had.
          if (i < headers.size()) {
            cellName = headers[i];
            cellNamed = true;
          }
          if (cellNamed) cell->setName(text, cellName);
          cell->setValue(text, values[i]);
        }
        anyRow = true;
        break;
      }
      case kInfoDescription:
        script.setDescription(text, message);
        break;
      default:
        break;
    }
  }
}

void fillScriptResult(const std::vector<LOGINFO>& entries, RKZARezodud::Script& script) {
  ScannedMessages found;
  found.entries.reserve(entries.size());
  for (const LOGINFO& entry : entries) {
    found.entries.push_back(ScannedMessages::Entry{entry.type, found.text.size(), entry.message.size()});
    found.text += entry.message;
  }
  fillScriptResult(std::move(found), script);
}

}  // namespace zarezodud
