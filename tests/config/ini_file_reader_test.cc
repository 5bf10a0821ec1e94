#include "config/ini_file_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

TEST(IniFileReaderTest, ReadsTrimmedValuesKeyFirstAndEmptyWhenMissing) {
  ztest::TempDir dir;
  INIFileReader reader;
  EXPECT_EQ(reader.getKeyValue("k", "S"), "");  // no file name yet
  reader.setINIFileName(dir.write("p.ini", "[Phase1]\nPreCommands = a.lst, b.lst \t\nempty=\n"));
  EXPECT_EQ(reader.getKeyValue("precommands", "PHASE1"), "a.lst, b.lst");
  EXPECT_EQ(reader.getKeyValue("Phase1", "PreCommands"), "");
  EXPECT_EQ(reader.getKeyValue("empty", "Phase1"), "");
  reader.setINIFileName(dir.file("missing.ini"));
  EXPECT_EQ(reader.getKeyValue("precommands", "Phase1"), "");
}

TEST(IniFileReaderTest, SetKeyValueWritesValueFirst) {
  ztest::TempDir dir;
  INIFileReader reader;
  reader.setINIFileName(dir.file("w.ini"));
  EXPECT_EQ(reader.setKeyValue("value", "Key", "Section"), 1u);
  EXPECT_EQ(ztest::readFile(dir.file("w.ini")), "[Section]\nKey=value\n");
  EXPECT_EQ(reader.setKeyValue("v", std::string(300, 'k'), "Section"), 0u);
}

TEST(IniFileReaderTest, SectionExistsNeedsAReadableFileWithThatHeader) {
  ztest::TempDir dir;
  INIFileReader reader;
  reader.setINIFileName(dir.file("missing.ini"));
  EXPECT_FALSE(reader.sectionExists("Phase1"));
  reader.setINIFileName(dir.write("p.ini", "k=v\n  [Phase1]  \n[Commented] ; x\n"));
  EXPECT_TRUE(reader.sectionExists("phase1"));
  EXPECT_FALSE(reader.sectionExists("Commented"));
  EXPECT_FALSE(reader.sectionExists("Phase2"));
  EXPECT_FALSE(reader.sectionExists(std::string(300, 'x')));
}

}  // namespace
