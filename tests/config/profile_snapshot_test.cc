// The one-reading snapshot of a profile file answers every lookup exactly as the profile-file
// store does on the same file (it stands in for the store during validation), and the store
// skips a byte-order mark at the start of a file.
#include "config/profile_snapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ini_file_reader.h"
#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

using namespace std::string_literals;

TEST(ProfileSnapshotTest, AnswersEveryLookupAsTheStoreDoes) {
  ztest::TempDir dir;
  const std::string longLine = "Long=" + std::string(300, 'v');
  const std::string file =
      dir.write("p.ini",
                "\xEF\xBB\xBF"
                "Before=1\n[A]\nKey = one \nkey=two\nURL=a=b\n; comment=x\nBare\n" +
                    longLine + "\n  [b]  \nX=1\n[A]\nLater=3\n[C] ; note\nY=2\n[" + std::string(260, 's') +
                    "]\nZ=1\n[D]\nEmpty=\n[e]\n" + longLine.substr(0, 250) + "\n[Last]\nTail=end");
  zarezodud::ProfileSnapshot snapshot;
  ASSERT_EQ(snapshot.load(file), PROFILE_SUCCESS);
  INIFileReader reader;
  reader.setINIFileName(file);
  const std::vector<std::string> sections = {
      "A", "a", "b", "B", "C", "C] ; note", "D", "e", "Last", "Missing", std::string(260, 's'), "", "[A]"};
  const std::vector<std::string> keys = {"Key",   "KEY", "URL=a", "URL",   "; comment", "Bare",   "Long", "X",
                                         "Later", "Y",   "Z",     "Empty", "Tail",      "Before", "Nope", ""};
  for (const std::string& section : sections) {
    EXPECT_EQ(snapshot.hasSection(section), reader.sectionExists(section)) << section;
    for (const std::string& key : keys) {
      std::string fromSnapshot = "stale", fromStore = "stale";
      EXPECT_EQ(snapshot.value(section, key, fromSnapshot), reader.readKeyValue(key, section, fromStore))
          << section << " / " << key;
      EXPECT_EQ(fromSnapshot, fromStore) << section << " / " << key;
    }
  }
  // A few answers spelled out, so that both agreeing on nonsense would still fail.
  std::string value;
  EXPECT_EQ(snapshot.value("a", "KEY", value), PROFILE_SUCCESS);
  EXPECT_EQ(value, "one");
  EXPECT_EQ(snapshot.value("A", "URL=a", value), PROFILE_SUCCESS);
  EXPECT_EQ(value, "b");
  EXPECT_EQ(snapshot.value("A", "Long", value), PROFILE_TOO_LONG);
  EXPECT_EQ(snapshot.value("A", "Later", value), PROFILE_SUCCESS);
  EXPECT_EQ(value, "") << "only the first [A] counts";
  EXPECT_TRUE(snapshot.hasSection("b"));
  EXPECT_FALSE(snapshot.hasSection("C"));
}

TEST(ProfileSnapshotTest, NulByteFailsTheLoadAndNamesTheLine) {
  ztest::TempDir dir;
  const std::string file = dir.write("p.ini", "[A]\nK=1\nV=a\0b\nW=2\n"s);
  zarezodud::ProfileSnapshot snapshot;
  EXPECT_EQ(snapshot.load(file), PROFILE_READ_ERROR);
  EXPECT_EQ(snapshot.nulLine(), 3u);
  EXPECT_FALSE(snapshot.hasSection("A"));
  EXPECT_EQ(zarezodud::findNulLine(file), 3u);
  INIFileReader reader;
  reader.setINIFileName(file);
  EXPECT_EQ(reader.readProblem(), "[" + file + "] holds a NUL byte on line 3.");
  EXPECT_EQ(reader.findSection("A"), PROFILE_SUCCESS) << "the header comes before the NUL";
  EXPECT_EQ(reader.findSection("B"), PROFILE_READ_ERROR) << "a later header is never reached";
  EXPECT_EQ(snapshot.load(dir.file("absent.ini")), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(zarezodud::findNulLine(dir.write("clean.ini", "[A]\n")), 0u);
}

TEST(ProfileStoreTest, ByteOrderMarkAtTheStartIsNotPartOfTheFirstLine) {
  ztest::TempDir dir;
  const std::string file = dir.write("p.ini", "\xEF\xBB\xBF[Phase]\nName=x\n");
  char out[64];
  EXPECT_EQ(GetProfileString("Phase", "Name", "default", out, sizeof out, file.c_str()), PROFILE_SUCCESS);
  EXPECT_EQ(std::string(out), "x");
  // A write keeps the file readable (the mark is not carried into a key).
  EXPECT_EQ(SetProfileString("Phase", "Other", "y", file.c_str()), PROFILE_SUCCESS);
  EXPECT_EQ(GetProfileString("Phase", "Name", "default", out, sizeof out, file.c_str()), PROFILE_SUCCESS);
  EXPECT_EQ(std::string(out), "x");
}

}  // namespace
