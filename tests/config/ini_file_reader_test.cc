#include "config/ini_file_reader.h"

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

class IniFileReaderTest : public ::testing::Test {
 protected:
  ztest::TempDir dir_;
  INIFileReader reader_;
};

TEST_F(IniFileReaderTest, StartsWithoutFileName) { EXPECT_EQ(reader_.getINIFileName(), ""); }

TEST_F(IniFileReaderTest, ReadsTrimmedValuesKeyFirst) {
  reader_.setINIFileName(dir_.write("p.ini", "[Phase1]\nPreCommands = a.lst, b.lst \t\n"));
  EXPECT_EQ(reader_.getKeyValue("precommands", "PHASE1"), "a.lst, b.lst");
  EXPECT_EQ(reader_.getKeyValue("Phase1", "PreCommands"), "");  // arguments the wrong way round
}

TEST_F(IniFileReaderTest, MissingFileSectionKeyOrValueAllGiveEmpty) {
  reader_.setINIFileName(dir_.file("missing.ini"));
  EXPECT_EQ(reader_.getKeyValue("k", "S"), "");
  reader_.setINIFileName(dir_.write("p.ini", "[S]\nempty=\nbare\n"));
  EXPECT_EQ(reader_.getKeyValue("k", "Other"), "");
  EXPECT_EQ(reader_.getKeyValue("k", "S"), "");
  EXPECT_EQ(reader_.getKeyValue("empty", "S"), "");
  EXPECT_EQ(reader_.getKeyValue("bare", "S"), "");
}

TEST_F(IniFileReaderTest, SetKeyValueWritesValueFirst) {
  const std::string path = dir_.file("w.ini");
  reader_.setINIFileName(path);
  EXPECT_EQ(reader_.setKeyValue("value", "Key", "Section"), 1u);
  EXPECT_EQ(ztest::readFile(path), "[Section]\nKey=value\n");
  EXPECT_EQ(reader_.getKeyValue("key", "section"), "value");
  EXPECT_EQ(reader_.setKeyValue("v", std::string(300, 'k'), "Section"), 0u);
  reader_.setINIFileName("no-slash.ini");
  EXPECT_EQ(reader_.setKeyValue("v", "k", "S"), 0u);
}

TEST_F(IniFileReaderTest, SectionExists) {
  reader_.setINIFileName(dir_.file("missing.ini"));
  EXPECT_FALSE(reader_.sectionExists("S"));
  reader_.setINIFileName(dir_.write("p.ini", "k=v\n  [Phase1]  \n[Commented] ; x\n"));
  EXPECT_TRUE(reader_.sectionExists("phase1"));
  EXPECT_FALSE(reader_.sectionExists("Commented"));
  EXPECT_FALSE(reader_.sectionExists("k=v"));
  EXPECT_FALSE(reader_.sectionExists("Phase2"));
  EXPECT_FALSE(reader_.sectionExists(std::string(300, 'x')));
  reader_.setINIFileName("");
  EXPECT_FALSE(reader_.sectionExists("Phase1"));
}

}  // namespace
