#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>

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
}

TEST(ProfileText, ParseSplitsAtLastEqualsAndTrims) {
  char key[8];
  char value[8];
  EXPECT_EQ(ParseProfileEntry(" URL = a=b  ", key, sizeof key, value, sizeof value), 0);
  EXPECT_STREQ(key, "URL = a");
  EXPECT_STREQ(value, "b");
  strcpy(value, "stale");
  EXPECT_EQ(ParseProfileEntry("  ; note ", key, sizeof key, value, sizeof value), 0);
  EXPECT_STREQ(key, "; note");
  EXPECT_STREQ(value, "");
  EXPECT_EQ(ParseProfileEntry("k=v", nullptr, 0, value, sizeof value), 0);
  EXPECT_STREQ(value, "v");
}

TEST(ProfileText, ParseSizeLimits) {
  char key[4];
  char value[4];
  EXPECT_EQ(ParseProfileEntry("abc=xyz", key, sizeof key, value, sizeof value), 0);
  EXPECT_EQ(ParseProfileEntry("abcd=x", key, sizeof key, value, sizeof value), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(ParseProfileEntry("a=wxyz", key, sizeof key, value, sizeof value), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(ParseProfileEntry(std::string(255, 'k').c_str(), nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(ParseProfileEntry(std::string(256, 'k').c_str(), key, sizeof key, value, sizeof value),
            PROFILE_TOO_LONG);
}

// A line too long for the caller's buffer is still consumed whole: its tail never comes back
// as a line of its own.
TEST(ProfileText, ReadLineReadsWholeTrimmedLines) {
  ztest::TempDir dir;
  const std::string longLine(600, 'v');
  FILE* f = fopen(dir.write("l.ini", "  [S]  \n \n" + longLine + "\n  " + longLine + "\nend").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[256];
  std::string big(601, '\0');
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "[S]");
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(ReadLine(f, sizeof line, line), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(ReadLine(f, big.size(), &big[0]), 0);
  EXPECT_EQ(big.c_str(), longLine);
  EXPECT_EQ(ReadLine(f, sizeof line, line), 0);
  EXPECT_STREQ(line, "end");
  EXPECT_EQ(ReadLine(f, sizeof line, line), PROFILE_END_OF_FILE);
  fclose(f);
}

TEST(ProfileText, WriteLineReportsFailure) {
  FILE* full = fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "/dev/full is missing";
  setvbuf(full, nullptr, _IONBF, 0);
  EXPECT_EQ(WriteLine(full, "lost"), PROFILE_WRITE_ERROR);
  fclose(full);
}

// Null arguments give result codes instead of crashing.
TEST(ProfileText, NullArgumentsGiveCodes) {
  char out[16];
  char flag = 0;
  EXPECT_EQ(TruncWhiteSpace(nullptr), PROFILE_TOO_LONG);
  EXPECT_EQ(TruncComment(nullptr), PROFILE_TOO_LONG);
  EXPECT_EQ(ParseProfileEntry(nullptr, out, sizeof out, nullptr, 0), PROFILE_TOO_LONG);
  EXPECT_EQ(ReadLine(nullptr, sizeof out, out), PROFILE_READ_ERROR);
  EXPECT_EQ(WriteLine(nullptr, "x"), PROFILE_WRITE_ERROR);
  EXPECT_EQ(WriteLine(stdout, nullptr), PROFILE_WRITE_ERROR);
  EXPECT_EQ(GetProfileEntry(nullptr, "k", out, sizeof out, "/tmp"), PROFILE_TOO_LONG);
  EXPECT_EQ(GetProfileEntry("S", "k", nullptr, 0, "/tmp"), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetProfileString("S", "k", "d", out, sizeof out, nullptr), PROFILE_CANNOT_OPEN);
  EXPECT_STREQ(out, "d");
  EXPECT_EQ(GetProfileBoolean("S", "k", 1, nullptr, "/tmp"), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetProfileBoolean("S", nullptr, 1, &flag, "/tmp"), PROFILE_TOO_LONG);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(SetProfileString("S", "k", "v", nullptr), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(SetProfileString("S", "k", nullptr, "/tmp/none/x.ini"), PROFILE_TOO_LONG);
  EXPECT_EQ(SetProfileString(nullptr, "k", "v", "/tmp/none/x.ini"), PROFILE_TOO_LONG);
}

}  // namespace
