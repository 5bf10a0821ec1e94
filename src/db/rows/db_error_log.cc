#include "db/rows/db_error_log.h"

#include <cstdio>
#include <mutex>

namespace zarezodud {
namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

DBErrorLogSink& currentSink() {
  static DBErrorLogSink sink;
  return sink;
}

}  // namespace

void logDBError(const char* file, int line, const std::string& message) {
  const std::string text =
      std::string(file != nullptr ? file : "?") + "(" + std::to_string(line) + "): " + message;
  std::lock_guard<std::mutex> hold(sinkMutex());
  if (currentSink()) {
    currentSink()(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

DBErrorLogSink setDBErrorLogSink(DBErrorLogSink sink) {
  std::lock_guard<std::mutex> hold(sinkMutex());
  DBErrorLogSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

}  // namespace zarezodud
