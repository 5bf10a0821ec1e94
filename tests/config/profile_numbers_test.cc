#include <gtest/gtest.h>

#include <string>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

TEST(ProfileNumbers, DigitsOnlyWithinRange) {
  ztest::TempDir dir;
  const std::string path =
      dir.write("n.ini",
                "[N]\nplain=42\npadded=  007  \nempty=\nbare\nmixed=12a\nsigned=-5\n"
                "max=2147483647\nover=2147483648\nhuge=9999999999\neleven=12345678901\n");
  const struct {
    const char* key;
    int expected;
  } cases[] = {
      {"plain", 42},
      {"padded", 7},
      {"empty", 0},
      {"bare", 0},
      {"absent", 77},
      {"mixed", PROFILE_NOT_VALUE},
      {"signed", PROFILE_NOT_VALUE},
      {"max", 2147483647},
      // Ten digits beyond the int range are refused rather than wrapped into a garbage
      // number that could even look like a result code.
      {"over", PROFILE_NOT_VALUE},
      {"huge", PROFILE_NOT_VALUE},
      {"eleven", PROFILE_BUFFER_SMALL},
  };
  for (const auto& c : cases) EXPECT_EQ(GetProfileLong("N", c.key, 77, path.c_str()), c.expected) << c.key;
  EXPECT_EQ(GetPrivateProfileInt("Nowhere", "plain", 5, path.c_str()), 5);
  EXPECT_EQ(GetProfileLong("N", "plain", 5, dir.file("none").c_str()), PROFILE_CANNOT_OPEN);
}

TEST(ProfileBooleans, WordsDefaultsAndFailures) {
  ztest::TempDir dir;
  const std::string path = dir.write("b.ini",
                                     "[B]\nenabled=Enabled\nyes=YES\ny=y\none=1\noff=off\ndisable=disable\n"
                                     "zero=0\nmaybe=maybe\nempty=\n");
  const struct {
    const char* key;
    char dflt;
    int rc;
    char out;
  } cases[] = {
      {"enabled", 0, 0, 1},
      {"yes", 0, 0, 1},
      {"y", 0, 0, 1},
      {"one", 0, 0, 1},
      {"off", 1, 0, 0},
      {"disable", 1, 0, 0},
      {"zero", 1, 0, 0},
      {"maybe", 1, PROFILE_NOT_VALUE, 1},
      {"maybe", 0, PROFILE_NOT_VALUE, 0},
      {"empty", 1, 0, 1},
      {"absent", 1, 0, 1},
      {"absent", 0, 0, 0},
  };
  for (const auto& c : cases) {
    char out = 5;
    EXPECT_EQ(GetProfileBoolean("B", c.key, c.dflt, &out, path.c_str()), c.rc) << c.key;
    EXPECT_EQ(out, c.out) << c.key;
  }
  char out = 0;
  EXPECT_EQ(GetProfileBoolean("B", "yes", 1, &out, dir.file("none").c_str()), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(out, 1);
}

TEST(ProfileNumbers, LongAndBooleanWrites) {
  ztest::TempDir dir;
  const std::string path = dir.file("w.ini");
  EXPECT_EQ(SetProfileLong("S", "count", 123456, path.c_str()), 0);
  EXPECT_EQ(SetProfileBoolean("S", "on", 5, path.c_str()), 0);
  EXPECT_EQ(SetProfileBoolean("S", "off", 0, path.c_str()), 0);
  EXPECT_EQ(SetProfileLong("S", "neg", -3, path.c_str()), 0);
  EXPECT_EQ(ztest::readFile(path), "[S]\ncount=123456\non=1\noff=0\nneg=-3\n");
}

}  // namespace
