#include "platform/odbc/recording_connection.h"
#include "base/errno_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "platform/odbc/temp_output_file.h"

namespace zarezodud {

bool RecordingSink::openJournal(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = errnoMessage("cannot open journal", path, errno);
    return false;
  }
  m_journal = fdio::ScopedFd(fd);
  m_journalPath = path;
  m_journalLines = countJournalLines(path);
  return true;
}

bool RecordingSink::record(const std::string& text, bool isScript) {
  m_texts.push_back(text);
  if (!isScript || m_currentScript.empty()) return true;
  // The script "runs" for the delay and is journaled once it is done.
  if (m_delay.count() > 0) {
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_waiting = true;
    m_cancelled = false;
    m_cancel.wait_for(lock, m_delay, [this] { return m_cancelled; });
    m_waiting = false;
    if (m_cancelled) return false;
  }
  if (m_journal.valid()) {
    const std::string line = m_currentScript + "\n";
    std::string error;
    if (!fdio::writeAll(m_journal.get(), m_journalPath, line.data(), line.size(), &error)) {
      m_journalError = error;
    } else if (::fsync(m_journal.get()) != 0) {
      m_journalError = errnoMessage("cannot sync journal", m_journalPath, errno);
    } else {
      ++m_journalLines;
    }
  }
  return true;
}

void RecordingSink::cancel() {
  {
    std::lock_guard<std::mutex> lock(m_waitMutex);
    if (!m_waiting) return;
    m_cancelled = true;
  }
  m_cancel.notify_all();
}

long long RecordingSink::countJournalLines(const std::string& path) {
  // Only a regular file has an end to count to (a device such as /dev/zero has none).
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  std::ifstream in(path, std::ios::binary);
  long long lines = 0;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    lines += std::count(buffer, buffer + in.gcount(), '\n');
  }
  return lines;
}

int RecordingConnection::executeQueryForZARezodud(const std::string& text, int* returnCode) {
  const std::string before = m_sink->journalError();
  // Like the real service, a script run opens the temporary output file (empty here: nothing
  // answers), so the caller's reading and copying of it find a file.
  std::string outputError;
  if (!m_output.openOrKeepIn(effectiveOutputDirectory(&m_settings), outputError)) {
    m_lastError = outputError;
    return 0;
  }
  m_interruption = Interruption::kNone;
  if (!m_sink->record(text, true)) {
    m_interruption = Interruption::kCancelled;
    m_lastError = "The batch starting at line 1 was cancelled.";
    return 0;
  }
  if (returnCode != nullptr) *returnCode = 0;
  if (m_sink->journalError() != before) {
    m_lastError = m_sink->journalError();
    return 0;
  }
  return 1;
}

int RecordingConnection::executeQuery(const std::string& text, bool) {
  m_sink->record(text, false);
  return 0;
}

int RecordingConnection::executeWithParams(const std::string& text, const std::vector<SQLParam>&) {
  m_sink->record(text, false);
  return 0;
}

int RecordingConnection::cancel() {
  m_sink->cancel();
  return 0;
}

SQLConnectionFactory installRecordingFactory(std::shared_ptr<RecordingSink> sink) {
  return setSQLConnectionFactory([sink]() -> RKSimpleDBConnObject* { return new RecordingConnection(sink); });
}

}  // namespace zarezodud
