// The run journal on its own: record framing and checksums, a torn tail cut at every byte,
// damage in the middle, what a replay makes of starts, ends, retries and sessions, resuming
// after a torn record, the compacted snapshot, refusal of files another user could have
// written, and a journal that stops accepting records after a failed write.
#include "engine/run_journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/journal_record.h"
#include "support/journal_faults.h"
#include "support/temp_dir.h"

namespace {

using zarezodud::JournalRecord;

ScriptPosition at(const std::string& list, const std::string& entry, int occurrence = 1) {
  ScriptPosition p;
  p.phase = "Top";
  p.stage = 1;
  p.list = list;
  p.entry = entry;
  p.entryOccurrence = occurrence;
  return p;
}

RunJournalIdentity identity() {
  RunJournalIdentity id;
  id.product = "Corehub";
  id.server = "SQL Server";
  id.instance = "db1,1433";
  id.database = "Main";
  id.paramsFile = "/etc/zz/params.ini";
  id.configFile = "/etc/zz/phases.ini";
  id.phase = "Top";
  return id;
}

TEST(JournalRecordTest, FieldsRoundTripWhateverBytesTheyHold) {
  EXPECT_EQ(zarezodud::crc32c("123456789"), 0xE3069283u);
  EXPECT_EQ(zarezodud::crc32cPortable("123456789"), 0xE3069283u);
  std::string bytes;
  for (int i = 0; i < 300; ++i) {
    bytes += static_cast<char>(i * 7);
    EXPECT_EQ(zarezodud::crc32c(bytes), zarezodud::crc32cPortable(bytes)) << i;
  }
  JournalRecord record("end");
  const std::string awkward = std::string("tab\there\nline\\back\r\x01\x7f=\xc3\xa9", 22);
  record.add("path", awkward).add("code", -17).add("empty", "");
  const std::string framed = record.encode();
  EXPECT_EQ(framed.find('\t', 20), framed.find("\tpath=")) << "a value never holds a raw tab";
  EXPECT_EQ(framed.find('\n'), framed.size() - 1) << "a record is one line";
  JournalRecord back;
  ASSERT_TRUE(JournalRecord::decodePayload(framed.substr(19, framed.size() - 20), back));
  EXPECT_EQ(back.type(), "end");
  EXPECT_EQ(back.text("path"), awkward);
  EXPECT_EQ(back.number("code", 0), -17);
  EXPECT_EQ(back.text("empty"), "");
  EXPECT_EQ(back.number("path", 5), 5) << "not a number";
  for (const char* bad : {"x=1", "t=a\tnovalue", "t=a\tk=\\q", "t=a\tk=\\x4", "t=a\tk=\\", "t=a\t=v"}) {
    EXPECT_FALSE(JournalRecord::decodePayload(bad, back)) << bad;
  }
}

class RunJournalTest : public ::testing::Test {
 protected:
  std::string path() const { return dir.file("db.journal"); }
  // A journal with scripts a1 (ok), a2 (failed, code 2), a3 (started only).
  void writeThree() {
    std::string error;
    ASSERT_TRUE(journal.start(path(), identity(), {{"report", "/r.json"}, {"override", "a=1"}}, error))
        << error;
    ASSERT_TRUE(journal.scriptStarted(at("a.lst", "a1.sql"), "/d/a1.sql", "11"));
    ASSERT_TRUE(journal.scriptFinished(at("a.lst", "a1.sql"), "/d/a1.sql", "11",
                                       JournalScriptResult::kSucceeded, 101, 0.5));
    ASSERT_TRUE(journal.scriptStarted(at("a.lst", "a2.sql"), "/d/a2.sql", "22"));
    ASSERT_TRUE(
        journal.scriptFinished(at("a.lst", "a2.sql"), "/d/a2.sql", "22", JournalScriptResult::kFailed, 2, 1));
    ASSERT_TRUE(journal.listStarted(at("b.lst", "")));
    ASSERT_TRUE(journal.scriptStarted(at("b.lst", "a3.sql"), "/d/a3.sql", "33"));
  }
  RunJournalReplay replay() const {
    RunJournalReplay r;
    std::string error;
    EXPECT_TRUE(RunJournal::read(path(), r, error)) << error;
    return r;
  }

  ztest::TempDir dir;
  RunJournal journal;
};

TEST_F(RunJournalTest, ReplayGivesTheLastStateOfEveryScriptAndTheHeader) {
  writeThree();
  const RunJournalReplay r = replay();
  EXPECT_EQ(r.identity.differenceFrom(identity()), "");
  EXPECT_EQ(r.identity.instance, "db1,1433");
  EXPECT_EQ(r.host("override"), std::vector<std::string>{"a=1"});
  ASSERT_EQ(r.scripts.size(), 3u);
  EXPECT_TRUE(r.scripts[0].succeeded());
  EXPECT_EQ(r.scripts[0].code, 101);
  EXPECT_TRUE(r.scripts[1].finished);
  EXPECT_FALSE(r.scripts[1].succeeded());
  EXPECT_EQ(r.scripts[1].sha256, "22");
  EXPECT_FALSE(r.scripts[2].finished);
  ASSERT_NE(r.interrupted(), nullptr);
  EXPECT_EQ(r.interrupted()->path, "/d/a3.sql");
  EXPECT_EQ(r.interrupted()->position, at("b.lst", "a3.sql"));
  EXPECT_FALSE(r.runFinished);
  EXPECT_EQ(r.ignoredBytes, 0u);
}

// Cut anywhere, the journal reads as the records before the cut: a crash in the middle of a
// write never damages what was written before it.
TEST_F(RunJournalTest, ATornTailIsIgnoredAtEveryLength) {
  writeThree();
  const std::string full = ztest::readFile(path());
  std::vector<size_t> ends;  // offsets just after each record
  for (size_t i = 0; i < full.size(); ++i) {
    if (full[i] == '\n') ends.push_back(i + 1);
  }
  for (size_t cut = ends.front(); cut <= full.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    dir.write("db.journal", full.substr(0, cut));
    ::chmod(path().c_str(), 0600);
    RunJournalReplay r;
    std::string error;
    ASSERT_TRUE(RunJournal::read(path(), r, error)) << error;
    size_t whole = 0;
    while (whole + 1 < ends.size() && ends[whole + 1] <= cut) ++whole;
    EXPECT_EQ(r.ignoredBytes, cut - ends[whole]);
    // Records after the header that survived: 2 scripts after the 4th record, 3 after the 7th.
    const size_t records = whole + 1;
    EXPECT_EQ(r.scripts.size(), records >= 7 ? 3u : records >= 4 ? 2u : records >= 2 ? 1u : 0u);
  }
}

TEST_F(RunJournalTest, DamageStopsTheReplayThereAndAForeignFileIsRefused) {
  writeThree();
  std::string text = ztest::readFile(path());
  const size_t second = text.find('\n') + 1;
  text[text.find("a1.sql", second)] = 'b';  // the checksum no longer holds
  dir.write("db.journal", text);
  ::chmod(path().c_str(), 0600);
  const RunJournalReplay r = replay();
  EXPECT_TRUE(r.scripts.empty());
  EXPECT_EQ(r.ignoredBytes, text.size() - second);

  RunJournalReplay out;
  std::string error;
  dir.write("db.journal", "{\"version\": 1}\n");
  ::chmod(path().c_str(), 0600);
  EXPECT_FALSE(RunJournal::read(path(), out, error));
  EXPECT_NE(error.find("not a run journal"), std::string::npos) << error;
  EXPECT_FALSE(RunJournal::read(dir.file("absent.journal"), out, error));
}

TEST_F(RunJournalTest, ResumeCutsATornRecordAndKnowsWhatSucceededBefore) {
  writeThree();
  std::string text = ztest::readFile(path());
  dir.write("db.journal", text + text.substr(text.find("J"), 30));  // half a record
  ::chmod(path().c_str(), 0600);

  RunJournal resumed;
  std::string error;
  ASSERT_TRUE(resumed.resume(path(), error)) << error;
  EXPECT_EQ(resumed.replay().ignoredBytes, 30u);
  EXPECT_NE(resumed.completed(at("a.lst", "a1.sql")), nullptr);
  EXPECT_EQ(resumed.completed(at("a.lst", "a2.sql")), nullptr) << "a failed script runs again";
  EXPECT_EQ(resumed.completed(at("b.lst", "a3.sql")), nullptr) << "an interrupted one too";
  EXPECT_EQ(resumed.completed(at("a.lst", "a1.sql", 2)), nullptr) << "another occurrence is another script";
  ASSERT_TRUE(resumed.scriptFinished(at("b.lst", "a3.sql"), "/d/a3.sql", "33",
                                     JournalScriptResult::kSucceeded, 0, 0));

  const RunJournalReplay r = replay();
  EXPECT_EQ(r.ignoredBytes, 0u);
  ASSERT_EQ(r.scripts.size(), 3u);
  EXPECT_TRUE(r.scripts[2].succeeded());
  EXPECT_EQ(r.interrupted(), nullptr);
}

TEST_F(RunJournalTest, FinishingCompactsIntoOneRecordPerScript) {
  writeThree();
  std::string error;
  RunJournal second;
  ASSERT_TRUE(second.resume(path(), error)) << error;
  ASSERT_TRUE(second.scriptStarted(at("a.lst", "a2.sql"), "/d/a2.sql", "22"));
  ASSERT_TRUE(
      second.scriptFinished(at("a.lst", "a2.sql"), "/d/a2.sql", "22", JournalScriptResult::kSucceeded, 0, 0));
  ASSERT_TRUE(second.finishRun(false, 2));
  EXPECT_EQ(second.compactionError(), "");

  const std::string text = ztest::readFile(path());
  size_t lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 5u) << "header, three scripts, run finished:\n" << text;
  EXPECT_EQ(text.find("t=resume"), std::string::npos);
  const RunJournalReplay r = replay();
  EXPECT_TRUE(r.runFinished);
  EXPECT_FALSE(r.runSucceeded);
  EXPECT_EQ(r.runReturnCode, 2);
  ASSERT_EQ(r.scripts.size(), 3u);
  EXPECT_TRUE(r.scripts[0].succeeded());
  EXPECT_TRUE(r.scripts[1].succeeded()) << "the retry's record replaced the failure";
  EXPECT_FALSE(r.scripts[2].finished);
  EXPECT_EQ(r.host("report"), std::vector<std::string>{"/r.json"});
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1) << "no snapshot left behind";

  // A resumed run after a finished, failed one is a new session: no longer finished.
  RunJournal third;
  ASSERT_TRUE(third.resume(path(), error)) << error;
  EXPECT_FALSE(replay().runFinished);
}

TEST_F(RunJournalTest, StartReplacesAnEarlierJournalWhole) {
  writeThree();
  RunJournal next;
  std::string error;
  ASSERT_TRUE(next.start(path(), identity(), {}, error)) << error;
  EXPECT_TRUE(replay().scripts.empty());
  EXPECT_FALSE(next.start(dir.file("missing/db.journal"), identity(), {}, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST_F(RunJournalTest, FilesAndDirectoriesOthersCouldWriteAreRefused) {
  writeThree();
  RunJournalReplay r;
  std::string error;
  struct stat info;
  ASSERT_EQ(::stat(path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "journals are private";

  ::chmod(path().c_str(), 0620);
  EXPECT_FALSE(RunJournal::read(path(), r, error));
  EXPECT_NE(error.find("writable by its group"), std::string::npos) << error;
  RunJournal resumed;
  EXPECT_FALSE(resumed.resume(path(), error));
  ::chmod(path().c_str(), 0600);

  ASSERT_EQ(::symlink(path().c_str(), dir.file("link.journal").c_str()), 0);
  EXPECT_FALSE(RunJournal::read(dir.file("link.journal"), r, error)) << "a link is not followed";

  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(RunJournal::read(path(), r, error));
    EXPECT_NE(error.find("owned by another user (uid 65534)"), std::string::npos) << error;
  }

  EXPECT_TRUE(RunJournal::checkDirectory(dir.path(), error)) << error;
  ::chmod(dir.path().c_str(), 0777);
  EXPECT_FALSE(RunJournal::checkDirectory(dir.path(), error));
  EXPECT_NE(error.find("writable by others and not sticky (mode 0777)"), std::string::npos) << error;
  ::chmod(dir.path().c_str(), 01777);
  EXPECT_TRUE(RunJournal::checkDirectory(dir.path(), error)) << error;
  ::chmod(dir.path().c_str(), 0770);
  const std::string inner = dir.file("inner");
  ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
  EXPECT_FALSE(RunJournal::checkDirectory(inner, error)) << "a parent others can change counts";
  EXPECT_NE(error.find("writable by its group"), std::string::npos) << error;
  ::chmod(dir.path().c_str(), 0700);
}

// After a failed write nothing more is accepted, and the file still ends after a whole record,
// so the journal reads as everything that was written before the failure.
TEST_F(RunJournalTest, AFailedWriteStopsTheJournalAndLeavesItWhole) {
  writeThree();
  const uint64_t before = std::filesystem::file_size(path());
  {
    ztest::FileSizeLimit limit(before + 40);  // the next record fits only in part
    EXPECT_FALSE(journal.scriptFinished(at("b.lst", "a3.sql"), "/d/a3.sql", "33",
                                        JournalScriptResult::kSucceeded, 0, 0));
  }
  EXPECT_TRUE(journal.failed());
  EXPECT_NE(journal.error().find("File too large"), std::string::npos) << journal.error();
  EXPECT_EQ(std::filesystem::file_size(path()), before) << "the part that was written is taken back";
  EXPECT_FALSE(journal.scriptStarted(at("b.lst", "a4.sql"), "/d/a4.sql", "44"));
  EXPECT_FALSE(journal.finishRun(true, 0));
  const RunJournalReplay r = replay();
  EXPECT_EQ(r.ignoredBytes, 0u);
  EXPECT_EQ(r.scripts.size(), 3u);
  EXPECT_FALSE(r.scripts[2].finished);
}

}  // namespace
