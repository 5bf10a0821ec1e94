#include "platform/recording_connection.h"

#include "platform/temp_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <thread>

namespace zarezodud {

bool RecordingSink::openJournal(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = fdio::errnoMessage("cannot open journal", path, errno);
    return false;
  }
  m_journal = fdio::ScopedFd(fd);
  m_journalPath = path;
  m_journalLines = countJournalLines(path);
  return true;
}

void RecordingSink::record(const std::string& text, bool isScript) {
  m_texts.push_back(text);
  if (!isScript || m_currentScript.empty()) return;
  // The script "runs" for the delay and is journaled once it is done.
  if (m_delay.count() > 0) std::this_thread::sleep_for(m_delay);
  if (m_journal.valid()) {
    const std::string line = m_currentScript + "\n";
    std::string error;
    if (!fdio::writeAll(m_journal.get(), m_journalPath, line.data(), line.size(), &error)) {
      m_journalError = error;
    } else if (::fsync(m_journal.get()) != 0) {
      m_journalError = fdio::errnoMessage("cannot sync journal", m_journalPath, errno);
    } else {
      ++m_journalLines;
    }
  }
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
  TempOutputFile output;
  std::string outputError;
  if (!output.open(outputError)) {
    m_lastError = outputError;
    return 0;
  }
  m_sink->record(text, true);
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

SQLConnectionFactory installRecordingFactory(std::shared_ptr<RecordingSink> sink) {
  return setSQLConnectionFactory([sink]() -> RKSimpleDBConnObject* { return new RecordingConnection(sink); });
}

}  // namespace zarezodud
