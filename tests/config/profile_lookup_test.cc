#include <string>

#include <gtest/gtest.h>

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

  ztest::TempDir dir_;
};

TEST_F(ProfileLookup, SectionNamesMatchIgnoringCaseButNotWithTrailingText) {
  const std::string path = file("[Phase1] ; comment\nk=commented\n[phase1]\nk=plain\n");
  EXPECT_EQ(value(path, "Phase1", "k"), "plain");
  EXPECT_EQ(value(path, "PHASE1", "K"), "plain");
}

TEST_F(ProfileLookup, IndentedHeaderAndKeysAreTrimmed) {
  const std::string path = file("  [Main]  \n   Name   =   Value with spaces   \n");
  EXPECT_EQ(value(path, "Main", "name"), "Value with spaces");
}

TEST_F(ProfileLookup, FirstSectionAndFirstKeyWin) {
  const std::string path = file("[S]\nk=first\nk=second\n[S]\nk=third\nonly=later\n");
  EXPECT_EQ(value(path, "S", "k"), "first");
  EXPECT_EQ(value(path, "S", "only"), "<default>");  // the second [S] is never searched
}

TEST_F(ProfileLookup, LinesBeforeTheFirstHeaderAreNeverFound) {
  const std::string path = file("k=orphan\n[S]\nother=1\n");
  char out[64];
  EXPECT_EQ(GetProfileEntry("S", "k", out, sizeof out, path.c_str()), PROFILE_NO_KEY);
}

TEST_F(ProfileLookup, KeyAfterTheNextSectionIsNotFound) {
  const std::string path = file("[A]\nx=1\n[B]\nk=2\n");
  char out[64];
  EXPECT_EQ(GetProfileEntry("A", "k", out, sizeof out, path.c_str()), PROFILE_NO_KEY);
  EXPECT_EQ(value(path, "A", "k"), "<default>");
  EXPECT_EQ(value(path, "B", "k"), "2");
}

TEST_F(ProfileLookup, EntryIsTheWholeTrimmedLine) {
  const std::string path = file("[S]\n  URL = a=b  \n");
  char out[64];
  EXPECT_EQ(GetProfileEntry("S", "URL = a", out, sizeof out, path.c_str()), 0);
  EXPECT_STREQ(out, "URL = a=b");
  EXPECT_EQ(value(path, "S", "URL = a"), "b");
  EXPECT_EQ(value(path, "S", "URL"), "<default>");  // keys compare whole, not as prefixes
}

TEST_F(ProfileLookup, KeyWithoutEqualsGivesEmptyValueNotDefault) {
  const std::string path = file("[S]\nFlag\n");
  EXPECT_EQ(value(path, "S", "Flag"), "");
}

TEST_F(ProfileLookup, CommentsAreReadAsText) {
  const std::string path = file("[S]\n; k=hidden\nk=value ; trailing\n");
  EXPECT_EQ(value(path, "S", "k"), "value ; trailing");
  EXPECT_EQ(value(path, "S", "; k"), "hidden");
}

TEST_F(ProfileLookup, MissingSectionKeyAndFile) {
  const std::string path = file("[S]\nk=v\n");
  char out[64];
  EXPECT_EQ(GetProfileEntry("T", "k", out, sizeof out, path.c_str()), PROFILE_NO_SECTION);
  EXPECT_EQ(GetProfileEntry("S", "z", out, sizeof out, path.c_str()), PROFILE_NO_KEY);
  const std::string missing = dir_.file("missing.ini");
  EXPECT_EQ(GetProfileEntry("S", "k", out, sizeof out, missing.c_str()), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(value(missing, "S", "k"), "rc=-7");
  // The default stays in the output on every failure.
  EXPECT_EQ(GetProfileString("S", "k", "dflt", out, sizeof out, missing.c_str()), PROFILE_CANNOT_OPEN);
  EXPECT_STREQ(out, "dflt");
}

TEST_F(ProfileLookup, SectionNameLimit) {
  const std::string name252(252, 's');
  const std::string path = file("[" + name252 + "]\nk=v\n");
  EXPECT_EQ(value(path, name252.c_str(), "k"), "v");
  const std::string name253(253, 's');
  char out[64];
  EXPECT_EQ(GetProfileEntry(name253.c_str(), "k", out, sizeof out, path.c_str()), PROFILE_TOO_LONG);
}

TEST_F(ProfileLookup, BufferTooSmall) {
  const std::string path = file("[S]\nkey=0123456789\n");
  char small[8];
  EXPECT_EQ(GetProfileEntry("S", "key", small, sizeof small, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(GetProfileString("S", "key", "d", small, sizeof small, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_STREQ(small, "d");
  EXPECT_EQ(GetProfileString("S", "key", "default too long", small, sizeof small, path.c_str()),
            PROFILE_BUFFER_SMALL);
  char exact[11];
  EXPECT_EQ(GetProfileString("S", "key", nullptr, exact, sizeof exact, path.c_str()), 0);
  EXPECT_STREQ(exact, "0123456789");
}

TEST_F(ProfileLookup, NullArgumentsGiveCodes) {
  const std::string path = file("[S]\nk=v\n");
  char out[16];
  EXPECT_EQ(GetProfileEntry(nullptr, "k", out, sizeof out, path.c_str()), PROFILE_TOO_LONG);
  EXPECT_EQ(GetProfileEntry("S", nullptr, out, sizeof out, path.c_str()), PROFILE_TOO_LONG);
  EXPECT_EQ(GetProfileEntry("S", "k", nullptr, 0, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetProfileEntry("S", "k", out, sizeof out, nullptr), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(GetProfileString("S", "k", "d", nullptr, 16, path.c_str()), PROFILE_BUFFER_SMALL);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, sizeof out, nullptr), 0);
  EXPECT_STREQ(out, "d");
}

TEST_F(ProfileLookup, CompatibilityWrapperReportsOneForDefaults) {
  const std::string path = file("[S]\nk=v\n");
  char out[16];
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, sizeof out, path.c_str()), 1);
  EXPECT_STREQ(out, "v");
  EXPECT_EQ(GetPrivateProfileString("S", "missing", "d", out, sizeof out, path.c_str()), 1);
  EXPECT_STREQ(out, "d");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, sizeof out, dir_.file("none").c_str()), 0);
}

// Lines longer than the 255-character line buffer are read whole and never cut into further
// lines, so their tails cannot pose as headers or keys.
TEST_F(ProfileLookup, TailOfALongLineIsNeverAPhantomLine) {
  // Each tail starts exactly where a 255-byte read piece would have ended.
  const std::string path = file("[S]\nnote=" + std::string(250, 'x') + "[T]\n" + "k=" + std::string(253, 'x') +
                                "secret=phantom\nk2=real\n");
  EXPECT_EQ(value(path, "S", "secret"), "<default>");
  EXPECT_EQ(value(path, "S", "k2"), "real");  // no phantom "[T]" header ended the section
  EXPECT_EQ(value(path, "T", "k2"), "<default>");
}

TEST_F(ProfileLookup, LongKeyLineNeverMatchesButLongBracketLineEndsSection) {
  const std::string longName(300, 'n');
  const std::string path = file("[S]\n" + longName + "=2\nafter=3\n[" + longName + "\nlate=4\n");
  EXPECT_EQ(value(path, "S", longName.c_str()), "<default>");
  EXPECT_EQ(value(path, "S", "after"), "3");
  EXPECT_EQ(value(path, "S", "late"), "<default>");
}

TEST_F(ProfileLookup, LongIndentationIsTrimmedAway) {
  const std::string path = file(std::string(400, ' ') + "[S]\n" + std::string(400, '\t') + "k=v\n");
  EXPECT_EQ(value(path, "S", "k"), "v");
}

TEST_F(ProfileLookup, LinesOfExactly254And255Characters) {
  const std::string key = "k";
  const std::string v252(252, 'a');  // "k=" + 252 = 254 characters
  const std::string v253(253, 'b');  // 255 characters
  const std::string path = file("[S]\nk=" + v252 + "\nj=" + v253 + "\nl=1\n");
  EXPECT_EQ(value(path, "S", "k"), v252);
  EXPECT_EQ(value(path, "S", "j"), v253);
  EXPECT_EQ(value(path, "S", "l"), "1");
}

}  // namespace
