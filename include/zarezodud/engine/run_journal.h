// RunJournal: the durable account of a phase run, from which an interrupted or failed run
// resumes exactly. An append-only file of records (run header with the run's identity, script
// started, script finished with its result and the SHA-256 of the file's bytes, phase, stage
// and list boundaries, run finished), each record length-prefixed and checksummed so that a
// record torn by a crash is recognised and ignored (engine/journal_record.h has the framing).
//
// Durability: a script counts as done for a resume only once its finished record is on disk;
// scriptFinished() writes it and syncs it (one fdatasync per script). Every other record is
// written but not synced. finishRun() writes the run-finished record and compacts the journal
// into a snapshot (one record per script, the last known state of each), which replaces the
// journal atomically. After a failed write the journal accepts nothing more (failed()), and
// the file still ends after its last whole record, so a resume repeats at most the script
// whose finished record could not be written.
//
// A processor given a journal (INIFileProcessor::setRunJournal) writes the records itself and
// passes over every script that completed() reports, so a resume runs exactly the scripts
// without a successful finished record, in the order the phase runs them now.
//
// Trust: a journal names the parameter file and phase to run, so one that another user could
// have written is refused: the file must be owned by this user or root and writable by no one
// else, in a directory chain that nobody else can change (platform/trusted_path.h).
//
// Thread-safety: one thread at a time per object.
#ifndef ZAREZODUD_ENGINE_RUN_JOURNAL_H
#define ZAREZODUD_ENGINE_RUN_JOURNAL_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/script_position.h"
#include "export.h"

class INIFileProcessor;

// What a resumed run must share with the run that it continues.
struct ZAREZODUD_API RunJournalIdentity {
  std::string product;
  std::string server;    // the database server type (DBServer)
  std::string instance;  // the SQL instance the run connected to
  std::string database;
  std::string paramsFile;
  std::string configFile;  // the phase configuration file
  std::string phase;

  // The first item that differs, as "<name>: [<stored>] now [<this>]", or "" when none does.
  // Items this object leaves empty are not compared.
  std::string differenceFrom(const RunJournalIdentity& stored) const;
};

enum class JournalScriptResult { kSucceeded, kFailed, kInterrupted };

// The last known state of one script of the journal's run.
struct ZAREZODUD_API JournalScript {
  ScriptPosition position;
  std::string path;
  std::string sha256;     // of the file's bytes when last read; "" when not known
  bool finished = false;  // its last record is a finished record
  JournalScriptResult result = JournalScriptResult::kFailed;  // when finished
  int code = 0;                                               // when finished
  bool succeeded() const { return finished && result == JournalScriptResult::kSucceeded; }
};

// What a journal holds, replayed.
struct ZAREZODUD_API RunJournalReplay {
  RunJournalIdentity identity;
  // Items the host stored in the header (RunJournal::start), in order; names may repeat.
  std::vector<std::pair<std::string, std::string>> hostData;
  int64_t startedAt = 0;  // seconds since 1970
  // Every script with a record, in the order of its first record.
  std::vector<JournalScript> scripts;
  bool runFinished = false;  // the last session ended with a run-finished record
  bool runSucceeded = false;
  int runReturnCode = 0;
  uint64_t ignoredBytes = 0;  // a damaged tail that was left out
  // Index in scripts of the script started last, while it has no finished record; -1 else.
  int64_t interruptedIndex = -1;

  // The values of host data item name, in order.
  std::vector<std::string> host(const std::string& name) const;
  // The script started last and not finished, or null.
  const JournalScript* interrupted() const;
};

class ZAREZODUD_API RunJournal {
 public:
  using HostData = std::vector<std::pair<std::string, std::string>>;

  RunJournal();
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Begins the journal of a new run at path: the header is written to a new file beside path,
  // synced, and then put in path's place (an earlier journal there is replaced). False with
  // error; nothing is replaced then.
  bool start(const std::string& path, const RunJournalIdentity& identity, const HostData& hostData,
             std::string& error);
  // Opens the journal at path to continue its run: replays it, cuts off a damaged tail and
  // appends a record of the new session. Refuses a file that is not trusted. False with error.
  bool resume(const std::string& path, std::string& error);
  // Replays the journal at path without changing it; refuses a file that is not trusted.
  static bool read(const std::string& path, RunJournalReplay& replay, std::string& error);
  // Whether directory (and every directory above it) is safe to keep journals in: owned by this
  // user or root, and not writable by others unless sticky. False with the reason.
  static bool checkDirectory(const std::string& directory, std::string& error);

  // The positions of scripts recorded in replay that the phase, as the processor's
  // configuration now has it, no longer holds (a removed list or entry, another release's
  // lists). Empty when every recorded position is still there. False with error when the
  // phase cannot be walked.
  static bool missingPositions(const RunJournalReplay& replay, INIFileProcessor& processor,
                               const std::string& phase, std::vector<ScriptPosition>& missing,
                               std::string& error);

  const std::string& path() const { return m_path; }
  // What the journal held when resume() opened it; after start(), the new run's header
  // items and no scripts.
  const RunJournalReplay& replay() const { return m_replay; }
  // The script at position if it finished successfully in an earlier session, else null.
  const JournalScript* completed(const ScriptPosition& position) const;

  // Records, in the order a run meets them. Each returns false once a write has failed.
  bool phaseStarted(const ScriptPosition& where);
  bool stageStarted(const ScriptPosition& where);
  bool listStarted(const ScriptPosition& where);
  bool phaseEnded(const ScriptPosition& where, bool succeeded, int returnCode);
  bool scriptStarted(const ScriptPosition& position, const std::string& path, const std::string& sha256);
  // Written and synced: when this returns true the script is done for a resume.
  bool scriptFinished(const ScriptPosition& position, const std::string& path, const std::string& sha256,
                      JournalScriptResult result, int code, double seconds);
  // Writes the run-finished record and compacts the journal into its snapshot. True when the
  // record is durable; a compaction that fails leaves the journal whole (and uncompacted) and
  // is reported by compactionError() only.
  bool finishRun(bool succeeded, int returnCode);
  const std::string& compactionError() const { return m_compactionError; }

  // True once a write failed; error() says which and why.
  bool failed() const { return m_failed; }
  const std::string& error() const { return m_error; }
  // Scripts finished (durably) since start() or resume().
  int64_t finishedCount() const { return m_finishedCount; }

 private:
  struct Impl;
  bool write(const std::string& record, bool sync);
  bool compact();

  std::unique_ptr<Impl> m_impl;
  std::string m_path;
  RunJournalReplay m_replay;
  // Keys of the scripts that succeeded before this session, indexing m_replay.scripts.
  std::unordered_map<std::string, size_t> m_completed;
  bool m_failed = false;
  std::string m_error;
  std::string m_compactionError;
  int64_t m_finishedCount = 0;
};

#endif
