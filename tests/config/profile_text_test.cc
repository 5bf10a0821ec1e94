#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

TEST(ProfileText, TruncWhiteSpaceMovesTextToTheStart) {
  char text[] = " \t\v\f key = value \r\n";
  EXPECT_EQ(TruncWhiteSpace(text), 0);
  EXPECT_STREQ(text, "key = value");
  char blank[] = " \t \n";
  EXPECT_EQ(TruncWhiteSpace(blank), 0);
  EXPECT_STREQ(blank, "");
  EXPECT_EQ(TruncWhiteSpace(nullptr), PROFILE_TOO_LONG);
}

TEST(ProfileText, CharacterClasses) {
  EXPECT_TRUE(IsEscape('\\'));
  EXPECT_FALSE(IsEscape('/'));
  EXPECT_TRUE(IsQuote('"'));
  EXPECT_FALSE(IsQuote('\''));
  for (char c : std::string("/#;")) EXPECT_TRUE(IsComment(c)) << c;
  for (char c : std::string("a=[ \\\"")) EXPECT_FALSE(IsComment(c)) << c;
}

TEST(ProfileEntryParsing, SplitsAtLastEqualsAndTrims) {
  char key[64];
  char value[64];
  EXPECT_EQ(ParseProfileEntry("  Timeout  =  30   ", key, sizeof key, value, sizeof value), 0);
  EXPECT_STREQ(key, "Timeout");
  EXPECT_STREQ(value, "30");
  EXPECT_EQ(ParseProfileEntry("URL=a=b", key, sizeof key, value, sizeof value), 0);
  EXPECT_STREQ(key, "URL=a");
  EXPECT_STREQ(value, "b");
}

TEST(ProfileEntryParsing, NoEqualsGivesWholeLineAsKeyAndEmptyValue) {
  char key[64];
  char value[64] = "stale";
  EXPECT_EQ(ParseProfileEntry("  ; just a comment ", key, sizeof key, value, sizeof value), 0);
  EXPECT_STREQ(key, "; just a comment");
  EXPECT_STREQ(value, "");
}

TEST(ProfileEntryParsing, NullOutputsAreSkipped) {
  char value[8];
  EXPECT_EQ(ParseProfileEntry("k=v", nullptr, 0, value, sizeof value), 0);
  EXPECT_STREQ(value, "v");
  char key[8];
  EXPECT_EQ(ParseProfileEntry("k=v", key, sizeof key, nullptr, 0), 0);
  EXPECT_STREQ(key, "k");
}

TEST(ProfileEntryParsing, SizeLimits) {
  char key[4];
  char value[4];
  EXPECT_EQ(ParseProfileEntry("abc=xyz", key, sizeof key, value, sizeof value), 0);
  EXPECT_EQ(ParseProfileEntry("abcd=x", key, sizeof key, value, sizeof value), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(ParseProfileEntry("a=wxyz", key, sizeof key, value, sizeof value), PROFILE_BUFFER_SMALL);
  std::string fits(255, 'k');
  std::string tooLong(256, 'k');
  EXPECT_EQ(ParseProfileEntry(fits.c_str(), nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(ParseProfileEntry(tooLong.c_str(), key, sizeof key, value, sizeof value), PROFILE_TOO_LONG);
  EXPECT_STREQ(key, "");
  EXPECT_EQ(ParseProfileEntry(nullptr, key, sizeof key, value, sizeof value), PROFILE_TOO_LONG);
}

class ProfileLines : public ::testing::Test {
 protected:
  FILE* open(const std::string& content) {
    file_ = fopen(dir_.write("lines.ini", content).c_str(), "r");
    return file_;
  }
  ~ProfileLines() override {
    if (file_ != nullptr) fclose(file_);
  }
  ztest::TempDir dir_;
  FILE* file_ = nullptr;
};

TEST_F(ProfileLines, ReadsTrimmedLinesThenEndOfFile) {
  FILE* f = open("  [Sec]  \n\n   \nlast=1");
  char line[256];
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "[Sec]");
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "last=1");
  EXPECT_EQ(ReadLine(f, sizeof line, line), PROFILE_END_OF_FILE);
}

TEST_F(ProfileLines, LineThatDoesNotFitIsConsumedWhole) {
  const std::string longLine = "k=" + std::string(600, 'v');
  FILE* f = open("short\n" + longLine + "\n" + "after\n");
  char small[6];
  EXPECT_EQ(ReadLine(f, sizeof small, small), 0);
  EXPECT_STREQ(small, "short");
  char line[256];
  EXPECT_EQ(ReadLine(f, sizeof line, line), PROFILE_BUFFER_SMALL);
  // The remainder of the long line is not handed out as a line of its own.
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "after");
  EXPECT_EQ(ReadLine(f, sizeof small, small), PROFILE_END_OF_FILE);
}

TEST_F(ProfileLines, LongLineWithinABigBufferIsReadWhole) {
  const std::string longLine(1000, 'x');
  FILE* f = open("   " + longLine + "   \n");
  std::string buffer(1001, '\0');
  EXPECT_EQ(ReadLine(f, buffer.size(), &buffer[0]), 0);
  EXPECT_EQ(std::string(buffer.c_str()), longLine);
}

TEST_F(ProfileLines, NullArgumentsGiveCodes) {
  char line[16];
  EXPECT_EQ(ReadLine(nullptr, sizeof line, line), PROFILE_READ_ERROR);
  EXPECT_EQ(ReadLine(open("x\n"), sizeof line, nullptr), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(WriteLine(nullptr, "x"), PROFILE_WRITE_ERROR);
}

TEST(ProfileLineWriting, WritesTextAndNewlineAndReportsFailure) {
  ztest::TempDir dir;
  const std::string path = dir.file("out.ini");
  FILE* f = fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(WriteLine(f, "[A]"), 0);
  EXPECT_EQ(WriteLine(f, ""), 0);
  EXPECT_EQ(WriteLine(f, nullptr), PROFILE_WRITE_ERROR);
  fclose(f);
  EXPECT_EQ(ztest::readFile(path), "[A]\n\n");

  FILE* full = fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "/dev/full is missing";
  setvbuf(full, nullptr, _IONBF, 0);
  EXPECT_EQ(WriteLine(full, "lost"), PROFILE_WRITE_ERROR);
  fclose(full);
}

}  // namespace
