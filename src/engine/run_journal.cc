#include "engine/run_journal.h"
#include "base/numbers.h"
#include "base/errno_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unordered_set>

#include "engine/journal_record.h"
#include "engine/phase_walk.h"
#include "platform/fs/append_file.h"
#include "base/fd_io.h"
#include "platform/fs/trusted_path.h"

namespace {

using zarezodud::JournalRecord;

constexpr int64_t kFormatVersion = 1;
const char kHostPrefix[] = "host.";

int64_t now() { return static_cast<int64_t>(std::time(nullptr)); }

std::string numbered(int occurrence, const std::string& name) {
  return std::to_string(occurrence) + ":" + name;
}

// "<occurrence>:<name>"; false when the text has no such form.
bool splitNumbered(const std::string& text, int& occurrence, std::string& name) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || !zarezodud::parseInt(std::string_view(text).substr(0, colon), 1, 999999999, occurrence)) {
    return false;
  }
  name = text.substr(colon + 1);
  return true;
}

// The position fields, as deep as where goes: phase and sub-modules always, then the stage, the
// list and the entry when set.
void addPosition(JournalRecord& record, const ScriptPosition& where) {
  record.add("phase", where.phase);
  for (const ScriptPosition::SubModule& sub : where.subModules)
    record.add("sub", numbered(sub.occurrence, sub.name));
  if (where.stage > 0) record.add("stage", where.stage);
  if (!where.list.empty()) record.add("list", numbered(where.listOccurrence, where.list));
  if (!where.entry.empty()) record.add("entry", numbered(where.entryOccurrence, where.entry));
}

bool readPosition(const JournalRecord& record, ScriptPosition& where) {
  where = ScriptPosition();
  for (const auto& field : record.fields()) {
    const std::string& name = field.first;
    if (name == "phase") {
      where.phase = field.second;
    } else if (name == "sub") {
      ScriptPosition::SubModule sub;
      if (!splitNumbered(field.second, sub.occurrence, sub.name)) return false;
      where.subModules.push_back(sub);
    } else if (name == "list") {
      if (!splitNumbered(field.second, where.listOccurrence, where.list)) return false;
    } else if (name == "entry") {
      if (!splitNumbered(field.second, where.entryOccurrence, where.entry)) return false;
    }
  }
  where.stage = static_cast<int>(record.number("stage", 0));
  return !where.phase.empty() && !where.entry.empty();
}

const char* resultName(JournalScriptResult result) {
  switch (result) {
    case JournalScriptResult::kSucceeded:
      return "ok";
    case JournalScriptResult::kFailed:
      return "failed";
    case JournalScriptResult::kInterrupted:
      return "interrupted";
  }
  return "failed";
}

JournalScriptResult resultOf(const std::string& text) {
  if (text == "ok") return JournalScriptResult::kSucceeded;
  if (text == "interrupted") return JournalScriptResult::kInterrupted;
  return JournalScriptResult::kFailed;
}

JournalRecord headerRecord(const RunJournalIdentity& identity, const RunJournal::HostData& hostData,
                           int64_t startedAt) {
  JournalRecord record("run");
  record.add("v", kFormatVersion);
  record.add("product", identity.product).add("server", identity.server).add("instance", identity.instance);
  record.add("database", identity.database).add("params", identity.paramsFile);
  record.add("config", identity.configFile).add("phase", identity.phase).add("started", startedAt);
  for (const auto& item : hostData) record.add(kHostPrefix + item.first, item.second);
  return record;
}

// Replays the records of an open journal into replay. validBytes: the length of the intact
// part. False with error when the file is no journal of this program or cannot be read.
bool replayJournal(int fd, const std::string& path, RunJournalReplay& replay, uint64_t& validBytes,
                   std::string& error) {
  replay = RunJournalReplay();
  zarezodud::JournalReader reader(fd, path);
  JournalRecord record;
  if (!reader.next(record)) {
    error =
        !reader.error().empty() ? reader.error() : "[" + path + "] is not a run journal (no header record)";
    return false;
  }
  if (record.type() != "run" || record.number("v", 0) != kFormatVersion) {
    error = "[" + path + "] is not a run journal of this version (format " + std::to_string(kFormatVersion) +
            " expected)";
    return false;
  }
  RunJournalIdentity& identity = replay.identity;
  identity.product = record.text("product");
  identity.server = record.text("server");
  identity.instance = record.text("instance");
  identity.database = record.text("database");
  identity.paramsFile = record.text("params");
  identity.configFile = record.text("config");
  identity.phase = record.text("phase");
  replay.startedAt = record.number("started", 0);
  for (const auto& field : record.fields()) {
    if (field.first.rfind(kHostPrefix, 0) == 0) {
      replay.hostData.emplace_back(field.first.substr(sizeof kHostPrefix - 1), field.second);
    }
  }

  std::unordered_map<std::string, size_t> index;
  while (reader.next(record)) {
    const std::string& type = record.type();
    if (type == "start" || type == "end") {
      ScriptPosition position;
      if (!readPosition(record, position)) continue;  // written by no version of this program
      const std::string key = position.key();
      auto found = index.find(key);
      if (found == index.end()) {
        found = index.emplace(key, replay.scripts.size()).first;
        replay.scripts.emplace_back();
        replay.scripts.back().position = position;
      }
      JournalScript& script = replay.scripts[found->second];
      script.path = record.text("path");
      script.sha256 = record.text("sha256");
      if (type == "start") {
        script.finished = false;
        replay.interruptedIndex = static_cast<int64_t>(found->second);
      } else {
        script.finished = true;
        script.result = resultOf(record.text("result"));
        script.code = static_cast<int>(record.number("code", 0));
        if (replay.interruptedIndex == static_cast<int64_t>(found->second)) replay.interruptedIndex = -1;
      }
    } else if (type == "done") {
      replay.runFinished = true;
      replay.runSucceeded = record.number("ok", 0) != 0;
      replay.runReturnCode = static_cast<int>(record.number("code", 0));
    } else if (type == "resume") {
      replay.runFinished = false;
    }
    // Boundary records (phase, stage, list, phase-end) tell a reader where the run went; the
    // resume needs only the scripts.
  }
  if (!reader.error().empty()) {
    error = reader.error();
    return false;
  }
  validBytes = reader.validBytes();
  return true;
}

bool openTrusted(const std::string& path, int flags, zarezodud::fdio::ScopedFd& fd, std::string& error) {
  fd =
      zarezodud::fdio::ScopedFd(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    error = zarezodud::errnoMessage("cannot open the run journal", path, errno);
    return false;
  }
  std::string why;
  if (!zarezodud::checkTrustedFile(fd.get(), path, why)) {
    error = "the run journal is not trusted: " + why;
    return false;
  }
  return true;
}

}  // namespace

std::string RunJournalIdentity::differenceFrom(const RunJournalIdentity& stored) const {
  const struct {
    const char* name;
    const std::string& was;
    const std::string& now;
  } items[] = {{"productName", stored.product, product},
               {"DBServer", stored.server, server},
               {"SQLInstance", stored.instance, instance},
               {"DBname", stored.database, database},
               {"parameter file", stored.paramsFile, paramsFile},
               {"configFile", stored.configFile, configFile},
               {"phase", stored.phase, phase}};
  for (const auto& item : items) {
    if (!item.now.empty() && item.now != item.was) {
      return std::string(item.name) + ": [" + item.was + "] now [" + item.now + "]";
    }
  }
  return std::string();
}

std::vector<std::string> RunJournalReplay::host(const std::string& name) const {
  std::vector<std::string> values;
  for (const auto& item : hostData) {
    if (item.first == name) values.push_back(item.second);
  }
  return values;
}

const JournalScript* RunJournalReplay::interrupted() const {
  if (interruptedIndex < 0 || static_cast<size_t>(interruptedIndex) >= scripts.size()) return nullptr;
  const JournalScript& script = scripts[static_cast<size_t>(interruptedIndex)];
  return script.finished ? nullptr : &script;
}

struct RunJournal::Impl {
  zarezodud::AppendFile file;
};

RunJournal::RunJournal() : m_impl(new Impl) {}
RunJournal::~RunJournal() = default;

bool RunJournal::start(const std::string& path, const RunJournalIdentity& identity, const HostData& hostData,
                       std::string& error) {
  m_impl->file.discard();
  m_compactionError.clear();
  m_replay = RunJournalReplay();
  m_completed.clear();
  m_failed = false;
  m_error.clear();
  m_finishedCount = 0;
  m_path = path;
  m_replay.identity = identity;
  m_replay.hostData = hostData;
  m_replay.startedAt = now();
  zarezodud::AppendFile& file = m_impl->file;
  const std::string header = headerRecord(identity, hostData, m_replay.startedAt).encode();
  if (!file.createBeside(path, error) || !file.append(header, error) || !file.syncData(error) ||
      !file.replace(path, error)) {
    file.discard();
    error = "cannot start the run journal: " + error;
    m_failed = true;
    m_error = error;
    return false;
  }
  return true;
}

bool RunJournal::resume(const std::string& path, std::string& error) {
  m_impl->file.discard();
  m_compactionError.clear();
  m_completed.clear();
  m_failed = false;
  m_error.clear();
  m_finishedCount = 0;
  m_path = path;
  zarezodud::fdio::ScopedFd fd;
  if (!openTrusted(path, O_RDONLY, fd, error)) return false;
  uint64_t valid = 0;
  if (!replayJournal(fd.get(), path, m_replay, valid, error)) return false;
  fd.close();
  zarezodud::AppendFile& file = m_impl->file;
  if (!file.openExisting(path, error)) {
    error = "cannot open the run journal for writing: " + error;
    return false;
  }
  if (file.size() > valid) {
    // A record torn by a crash: appending after it would hide every later record.
    m_replay.ignoredBytes = file.size() - valid;
    if (!file.truncate(valid, error)) {
      file.close();
      return false;
    }
  }
  for (size_t i = 0; i < m_replay.scripts.size(); ++i) {
    if (m_replay.scripts[i].succeeded()) m_completed.emplace(m_replay.scripts[i].position.key(), i);
  }
  JournalRecord record("resume");
  record.add("at", now());
  if (!write(record.encode(), false)) {
    error = m_error;
    return false;
  }
  return true;
}

bool RunJournal::read(const std::string& path, RunJournalReplay& replay, std::string& error) {
  zarezodud::fdio::ScopedFd fd;
  if (!openTrusted(path, O_RDONLY, fd, error)) return false;
  uint64_t valid = 0;
  if (!replayJournal(fd.get(), path, replay, valid, error)) return false;
  struct stat info;
  if (::fstat(fd.get(), &info) == 0 && static_cast<uint64_t>(info.st_size) > valid) {
    replay.ignoredBytes = static_cast<uint64_t>(info.st_size) - valid;
  }
  return true;
}

bool RunJournal::checkDirectory(const std::string& directory, std::string& error) {
  return zarezodud::checkTrustedDirectory(directory, error);
}

bool RunJournal::missingPositions(const RunJournalReplay& replay, INIFileProcessor& processor,
                                  const std::string& phase, std::vector<ScriptPosition>& missing,
                                  std::string& error) {
  missing.clear();
  std::vector<zarezodud::WalkedEntry> entries;
  if (!zarezodud::walkPhase(processor, phase, entries, error)) return false;
  std::unordered_set<std::string> present;
  present.reserve(entries.size());
  for (const zarezodud::WalkedEntry& entry : entries) present.insert(entry.position.key());
  for (const JournalScript& script : replay.scripts) {
    if (present.count(script.position.key()) == 0) missing.push_back(script.position);
  }
  return true;
}

const JournalScript* RunJournal::completed(const ScriptPosition& position) const {
  if (m_completed.empty()) return nullptr;
  const auto found = m_completed.find(position.key());
  return found == m_completed.end() ? nullptr : &m_replay.scripts[found->second];
}

bool RunJournal::write(const std::string& record, bool sync) {
  if (m_failed) return false;
  if (!m_impl->file.isOpen()) {
    m_failed = true;
    m_error = "the run journal is not open";
    return false;
  }
  std::string error;
  if (!m_impl->file.append(record, error) || (sync && !m_impl->file.syncData(error))) {
    m_failed = true;
    m_error = error;
    return false;
  }
  return true;
}

bool RunJournal::phaseStarted(const ScriptPosition& where) {
  JournalRecord record("phase");
  addPosition(record, where);
  return write(record.encode(), false);
}

bool RunJournal::stageStarted(const ScriptPosition& where) {
  JournalRecord record("stage");
  addPosition(record, where);
  return write(record.encode(), false);
}

bool RunJournal::listStarted(const ScriptPosition& where) {
  JournalRecord record("list");
  addPosition(record, where);
  return write(record.encode(), false);
}

bool RunJournal::phaseEnded(const ScriptPosition& where, bool succeeded, int returnCode) {
  JournalRecord record("phase-end");
  addPosition(record, where);
  record.add("ok", succeeded ? 1 : 0).add("code", returnCode);
  return write(record.encode(), false);
}

bool RunJournal::scriptStarted(const ScriptPosition& position, const std::string& path,
                               const std::string& sha256) {
  JournalRecord record("start");
  addPosition(record, position);
  record.add("path", path).add("sha256", sha256);
  return write(record.encode(), false);
}

bool RunJournal::scriptFinished(const ScriptPosition& position, const std::string& path,
                                const std::string& sha256, JournalScriptResult result, int code,
                                double seconds) {
  JournalRecord record("end");
  addPosition(record, position);
  record.add("path", path).add("sha256", sha256).add("result", resultName(result)).add("code", code);
  record.add("ms", static_cast<int64_t>(std::llround(seconds * 1000.0)));
  if (!write(record.encode(), true)) return false;
  ++m_finishedCount;
  return true;
}

bool RunJournal::finishRun(bool succeeded, int returnCode) {
  JournalRecord record("done");
  record.add("ok", succeeded ? 1 : 0).add("code", returnCode).add("at", now());
  if (!write(record.encode(), false)) return false;
  if (compact()) return true;
  // The journal as it stands is as good as its snapshot; the run-finished record must last.
  std::string error;
  if (!m_impl->file.syncData(error)) {
    m_failed = true;
    m_error = error;
    return false;
  }
  return true;
}

bool RunJournal::compact() {
  // Pass 1 finds, for each script in the order of its first record, where its last record is.
  // Pass 2 copies the header, those records and the run-finished record into a new file that
  // then replaces the journal; its replay is the same as the journal's.
  std::string error;
  zarezodud::fdio::ScopedFd in(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!in.valid()) {
    m_compactionError = zarezodud::errnoMessage("cannot read", m_path, errno);
    return false;
  }
  struct Extent {
    uint64_t offset;
    uint64_t length;
  };
  std::unordered_map<std::string, size_t> slot;
  std::vector<Extent> last;  // one per script, in the order of first appearance
  Extent header{0, 0};
  Extent done{0, 0};
  {
    zarezodud::JournalReader reader(in.get(), m_path);
    JournalRecord record;
    ScriptPosition position;
    uint64_t offset = 0;
    while (reader.next(record)) {
      const Extent here{offset, reader.validBytes() - offset};
      offset = reader.validBytes();
      if (here.offset == 0) {
        header = here;
      } else if ((record.type() == "start" || record.type() == "end") && readPosition(record, position)) {
        const auto inserted = slot.emplace(position.key(), last.size());
        if (inserted.second) {
          last.push_back(here);
        } else {
          last[inserted.first->second] = here;
        }
      } else if (record.type() == "done") {
        done = here;
      }
    }
    if (!reader.error().empty()) {
      m_compactionError = reader.error();
      return false;
    }
  }
  if (done.length > 0) last.push_back(done);
  zarezodud::AppendFile snapshot;
  if (!snapshot.createBeside(m_path, error)) {
    m_compactionError = error;
    return false;
  }
  std::string pending;
  bool ok = true;
  auto copy = [&](const Extent& extent) {
    const size_t at = pending.size();
    pending.resize(at + extent.length);
    size_t got = 0;
    while (ok && got < extent.length) {
      const ssize_t n =
          ::pread(in.get(), &pending[at + got], extent.length - got, static_cast<off_t>(extent.offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = zarezodud::errnoMessage("cannot read", m_path, n < 0 ? errno : EIO);
        ok = false;
      } else {
        got += static_cast<size_t>(n);
      }
    }
    if (ok && pending.size() >= 65536) {
      ok = snapshot.append(pending, error);
      pending.clear();
    }
  };
  copy(header);
  for (const Extent& extent : last) copy(extent);
  ok = ok && snapshot.append(pending, error) && snapshot.syncData(error) && snapshot.replace(m_path, error);
  if (!ok) {
    m_compactionError = error;
    snapshot.discard();
    return false;
  }
  m_impl->file.close();
  if (!m_impl->file.openExisting(m_path, error)) m_compactionError = error;
  return true;
}
