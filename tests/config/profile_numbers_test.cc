#include <string>

#include <gtest/gtest.h>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

class ProfileNumbers : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.write("values.ini",
                       "[N]\n"
                       "plain=42\n"
                       "zero=0\n"
                       "padded=  007  \n"
                       "empty=\n"
                       "bare\n"
                       "mixed=12a\n"
                       "signed=-5\n"
                       "ten=2147483647\n"
                       "over=2147483648\n"
                       "huge=9999999999\n"
                       "eleven=12345678901\n"
                       "[B]\n"
                       "enabled=Enabled\n"
                       "off=off\n"
                       "yes=YES\n"
                       "y=y\n"
                       "disable=disable\n"
                       "maybe=maybe\n"
                       "empty=\n"
                       "one=1\n"
                       "zero=0\n");
  }
  int number(const char* section, const char* key, int dflt = 77) {
    return GetProfileLong(section, key, dflt, path_.c_str());
  }
  ztest::TempDir dir_;
  std::string path_;
};

TEST_F(ProfileNumbers, DigitsConvert) {
  EXPECT_EQ(number("N", "plain"), 42);
  EXPECT_EQ(number("N", "zero"), 0);
  EXPECT_EQ(number("N", "padded"), 7);
  EXPECT_EQ(number("N", "ten"), 2147483647);
  EXPECT_EQ(GetPrivateProfileInt("N", "plain", 0, path_.c_str()), 42);
}

TEST_F(ProfileNumbers, EmptyValueIsZeroAndMissingIsDefault) {
  EXPECT_EQ(number("N", "empty"), 0);
  EXPECT_EQ(number("N", "bare"), 0);
  EXPECT_EQ(number("N", "absent"), 77);
  EXPECT_EQ(number("Nowhere", "plain"), 77);
}

TEST_F(ProfileNumbers, NonDigitsAndLengthFail) {
  EXPECT_EQ(number("N", "mixed"), PROFILE_NOT_VALUE);
  EXPECT_EQ(number("N", "signed"), PROFILE_NOT_VALUE);
  EXPECT_EQ(number("N", "eleven"), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetProfileLong("N", "plain", 5, dir_.file("missing").c_str()), PROFILE_CANNOT_OPEN);
}

// Ten digits can exceed the int range; such values are refused rather than wrapped into a
// garbage number that could even look like a result code.
TEST_F(ProfileNumbers, TenDigitValuesBeyondIntRangeAreNotNumbers) {
  EXPECT_EQ(number("N", "over"), PROFILE_NOT_VALUE);
  EXPECT_EQ(number("N", "huge"), PROFILE_NOT_VALUE);
}

class ProfileBooleans : public ProfileNumbers {
 protected:
  // The boolean read with the given default, and the result code.
  int read(const char* key, char dflt, char* out) { return GetProfileBoolean("B", key, dflt, out, path_.c_str()); }
};

TEST_F(ProfileBooleans, WordsInAnyCase) {
  char out = 0;
  EXPECT_EQ(read("enabled", 0, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("yes", 0, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("y", 0, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("one", 0, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("off", 1, &out), 0);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(read("disable", 1, &out), 0);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(read("zero", 1, &out), 0);
  EXPECT_EQ(out, 0);
}

TEST_F(ProfileBooleans, UnknownWordKeepsDefault) {
  char out = 0;
  EXPECT_EQ(read("maybe", 1, &out), PROFILE_NOT_VALUE);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("maybe", 0, &out), PROFILE_NOT_VALUE);
  EXPECT_EQ(out, 0);
}

TEST_F(ProfileBooleans, EmptyOrMissingGivesDefault) {
  char out = 0;
  EXPECT_EQ(read("empty", 1, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("absent", 1, &out), 0);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(read("absent", 0, &out), 0);
  EXPECT_EQ(out, 0);
}

TEST_F(ProfileBooleans, LookupFailuresAreReturned) {
  char out = 0;
  EXPECT_EQ(GetProfileBoolean("B", "yes", 1, &out, dir_.file("missing").c_str()), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(GetProfileBoolean("B", "yes", 1, nullptr, path_.c_str()), PROFILE_BUFFER_SMALL);
}

TEST(ProfileNumberWrites, LongAndBooleanRoundTrip) {
  ztest::TempDir dir;
  const std::string path = dir.file("w.ini");
  EXPECT_EQ(SetProfileLong("S", "count", 123456, path.c_str()), 0);
  EXPECT_EQ(SetProfileBoolean("S", "on", 5, path.c_str()), 0);
  EXPECT_EQ(SetProfileBoolean("S", "off", 0, path.c_str()), 0);
  EXPECT_EQ(ztest::readFile(path), "[S]\ncount=123456\non=1\noff=0\n");
  EXPECT_EQ(GetProfileLong("S", "count", 0, path.c_str()), 123456);
  // A negative number is stored as written but does not read back as a number.
  EXPECT_EQ(SetProfileLong("S", "count", -3, path.c_str()), 0);
  EXPECT_EQ(GetProfileLong("S", "count", 0, path.c_str()), PROFILE_NOT_VALUE);
}

}  // namespace
