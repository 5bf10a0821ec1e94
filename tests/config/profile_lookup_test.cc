#include <gtest/gtest.h>

#include <string>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

class ProfileLookup : public ::testing::Test {
 protected:
  std::string file(const std::string& content) { return dir_.write("phase.ini", content); }

  // The value through GetProfileString with a marker default, or "rc=<code>" on failure.
  std::string value(const std::string& path, const char* section, const char* key) {
    char out[256];
    int rc = GetProfileString(section, key, "<default>", out, sizeof out, path.c_str());
    return rc == 0 ? std::string(out) : "rc=" + std::to_string(rc);
  }
  int entry(const std::string& path, const char* section, const char* key) {
    char out[256];
    return GetProfileEntry(section, key, out, sizeof out, path.c_str());
  }

  ztest::TempDir dir_;
};

TEST_F(ProfileLookup, SectionsAndKeys) {
  const std::string path = file(
      "k=orphan\n"
      "[Phase1] ; comment\nk=commented\n"
      "  [phase1]  \n  Name  =  Value with spaces  \nURL=a=b\nFlag\nk=first\nk=second\n; c=hidden\n"
      "v=x ; trailing\n"
      "[Other]\nlater=1\n"
      "[PHASE1]\nonly=in second copy\n");
  EXPECT_EQ(value(path, "Phase1", "name"), "Value with spaces");  // header and key ignore case
  EXPECT_EQ(value(path, "PHASE1", "k"), "first");  // first section, first key; header with comment skipped
  EXPECT_EQ(value(path, "Phase1", "URL=a"), "b");  // split at the last '='
  EXPECT_EQ(value(path, "Phase1", "URL"), "<default>");  // whole key, not a prefix
  EXPECT_EQ(value(path, "Phase1", "Flag"), "");          // no '=': empty value, not the default
  EXPECT_EQ(value(path, "Phase1", "; c"), "hidden");     // comments are plain text
  EXPECT_EQ(value(path, "Phase1", "v"), "x ; trailing");
  EXPECT_EQ(entry(path, "Phase1", "later"), PROFILE_NO_KEY);  // after the next header
  EXPECT_EQ(entry(path, "Phase1", "only"), PROFILE_NO_KEY);   // second copy never searched
  EXPECT_EQ(entry(path, "Missing", "k"), PROFILE_NO_SECTION);
  EXPECT_EQ(value(path, "Missing", "k"), "<default>");
  EXPECT_EQ(entry(dir_.file("none.ini"), "Phase1", "k"), PROFILE_CANNOT_OPEN);
}

TEST_F(ProfileLookup, EntryIsTheWholeTrimmedLineAndMustFit) {
  const std::string path = file("[S]\n  key = 0123456789  \n");
  char out[17];
  EXPECT_EQ(GetProfileEntry("S", "KEY", out, sizeof out, path.c_str()), 0);
  EXPECT_STREQ(out, "key = 0123456789");
  char small[8];
  EXPECT_EQ(GetProfileEntry("S", "key", small, sizeof small, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetProfileString("S", "key", "d", small, sizeof small, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_STREQ(small, "d");  // the default stays on failure
  EXPECT_EQ(GetProfileString("S", "key", "longer default", small, sizeof small, path.c_str()),
            PROFILE_BUFFER_SMALL);
  char exact[11];
  EXPECT_EQ(GetProfileString("S", "key", nullptr, exact, sizeof exact, path.c_str()), 0);
  EXPECT_STREQ(exact, "0123456789");
}

TEST_F(ProfileLookup, SectionNameAndLineLengthLimits) {
  const std::string name252(252, 's');
  const std::string path =
      file("[" + name252 + "]\nk=" + std::string(252, 'a') + "\nj=" + std::string(253, 'b') + "\nl=1\n");
  EXPECT_EQ(value(path, name252.c_str(), "k"), std::string(252, 'a'));  // 254-character line
  EXPECT_EQ(value(path, name252.c_str(), "j"), std::string(253, 'b'));  // 255-character line
  EXPECT_EQ(value(path, name252.c_str(), "l"), "1");
  EXPECT_EQ(entry(path, std::string(253, 's').c_str(), "k"), PROFILE_TOO_LONG);
}

TEST_F(ProfileLookup, CompatibilityWrapperIsOneWheneverADefaultOrValueIsGiven) {
  const std::string path = file("[S]\nk=v\n");
  char out[16];
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, sizeof out, path.c_str()), 1);
  EXPECT_STREQ(out, "v");
  EXPECT_EQ(GetPrivateProfileString("S", "missing", "d", out, sizeof out, path.c_str()), 1);
  EXPECT_STREQ(out, "d");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, sizeof out, dir_.file("none").c_str()), 0);
}

// Lines longer than the 255-character line buffer are read whole: a tail that starts where a
// 255-byte read piece would end is never taken for a header or a key.
TEST_F(ProfileLookup, LongLinesNeverYieldPhantomLines) {
  const std::string path =
      file("[S]\n" + std::string(400, ' ') + "first=1\nnote=" + std::string(250, 'x') +
           "[T]\nk=" + std::string(253, 'x') + "secret=phantom\n" + std::string(300, 'n') +
           "=long\nk2=real\n[" + std::string(300, 'n') + "\nlate=4\n");
  EXPECT_EQ(value(path, "S", "first"), "1");  // long indentation is trimmed away
  EXPECT_EQ(value(path, "S", "secret"), "<default>");
  EXPECT_EQ(value(path, "T", "k2"), "<default>");
  EXPECT_EQ(value(path, "S", "k2"), "real");  // no phantom "[T]" ended the section
  // The key's own line is too long to be an entry: reported, not taken for a missing key.
  EXPECT_EQ(value(path, "S", std::string(300, 'n').c_str()), "rc=-4");
  EXPECT_EQ(value(path, "S", "late"), "<default>");  // a long '[' line still ends the section
}

}  // namespace
