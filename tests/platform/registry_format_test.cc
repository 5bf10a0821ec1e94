#include "platform/registry/registry_format.h"

#include <gtest/gtest.h>

#include <string>

namespace zarezodud {
namespace {

std::string everyByte() {
  std::string text;
  for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  return text;
}

TEST(RegistryEscapeTest, EveryByteAndEdgeBlankRoundTrips) {
  const std::string samples[] = {everyByte(),
                                 "",
                                 " leading and trailing ",
                                 "\ttabs\t",
                                 "a=b[c]d#e;f\\g",
                                 "line one\nline two\r\n",
                                 "\\x41 is not an escape here",
                                 "[looks like a key]",
                                 "# looks like a comment"};
  for (const std::string& raw : samples) {
    std::string escaped = escapeRegistryText(raw);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped.find('\r'), std::string::npos);
    std::string back, reason;
    ASSERT_TRUE(unescapeRegistryText(escaped, &back, &reason)) << reason;
    EXPECT_EQ(back, raw);
  }
}

TEST(RegistryEscapeTest, MalformedEscapesAreRefused) {
  std::string out, reason;
  EXPECT_FALSE(unescapeRegistryText("ends with \\", &out, &reason));
  EXPECT_FALSE(unescapeRegistryText("\\q", &out, &reason));
  EXPECT_FALSE(unescapeRegistryText("\\x4", &out, &reason));
  EXPECT_FALSE(unescapeRegistryText("\\xZZ", &out, &reason));
  EXPECT_FALSE(reason.empty());
}

TEST(RegistryFormatTest, KeysNamesAndValuesWithSpecialCharactersRoundTrip) {
  RegistryContent content;
  const std::string key = "SOFTWARE\\Tessaly Systems\\Quasar\\Installer\\Data";
  content.keys[key]["nProgressPercent"] = RegistryValue::ofNumber(42);
  content.keys[key]["odd=name[]"] = RegistryValue::ofString(everyByte());
  content.keys["[weird] key = # ;"]["  padded  "] = RegistryValue::ofString("  padded value  ");
  content.keys["Numbers"]["max"] = RegistryValue::ofNumber(18446744073709551615ULL);
  content.keys["Numbers"]["zero"] = RegistryValue::ofNumber(0);
  content.keys["Empty"][""] = RegistryValue::ofString("");

  RegistryContent back = parseRegistryText(formatRegistryText(content));
  EXPECT_TRUE(back.problems.empty()) << back.problems.front();
  EXPECT_EQ(back.keys, content.keys);
}

TEST(RegistryFormatTest, NumbersAreStrictUnsigned64BitDecimals) {
  RegistryContent content = parseRegistryText(
      "[k]\n"
      "max=n:18446744073709551615\n"
      "lead=n:007\n"
      "over=n:18446744073709551616\n"
      "negative=n:-1\n"
      "plus=n:+5\n"
      "trailing=n:12a\n"
      "empty=n:\n");
  ASSERT_EQ(content.keys["k"].size(), 2u);
  EXPECT_EQ(content.keys["k"]["max"], RegistryValue::ofNumber(18446744073709551615ULL));
  EXPECT_EQ(content.keys["k"]["lead"], RegistryValue::ofNumber(7));
  EXPECT_EQ(content.problems.size(), 5u);
}

TEST(RegistryFormatTest, HandEditedBlanksCommentsAndCrlfAreAccepted) {
  RegistryContent content = parseRegistryText(
      "; a comment\r\n"
      "   [ Database ]   \r\n"
      "  nScriptExecutionThreshold =  n: 30  \r\n"
      "\tsName = s:hello world \r\n"
      "\n"
      "   # another comment\n");
  EXPECT_TRUE(content.problems.empty());
  EXPECT_EQ(content.keys["Database"]["nScriptExecutionThreshold"], RegistryValue::ofNumber(30));
  EXPECT_EQ(content.keys["Database"]["sName"], RegistryValue::ofString("hello world"));
}

TEST(RegistryFormatTest, NonsenseLinesAreIgnoredWithLineNumbersAndValidLinesStillRead) {
  const std::string garbage("\x00\xff\x01 binary\x7f", 12);
  const std::string text = std::string(
                               "orphan=s:before any key\n"    // 1
                               "[Good]\n"                     // 2
                               "a=s:kept\n"                   // 3
                               "no equals sign here\n"        // 4
                               "b=x:unknown type\n"           // 5
                               "c=s:bad \\q escape\n"         // 6
                               "[unterminated key\n"          // 7
                               "lost=s:under a broken key\n"  // 8
                               "[Good] trailing\n"            // 9
                               "also_lost=n:1\n") +           // 10
                           garbage +
                           "\n" +      // 11
                           "[Good]\n"  // 12
                           "d=n:4\n";  // 13
  RegistryContent content = parseRegistryText(text);
  EXPECT_EQ(content.keys["Good"].size(), 2u);
  EXPECT_EQ(content.keys["Good"]["a"], RegistryValue::ofString("kept"));
  EXPECT_EQ(content.keys["Good"]["d"], RegistryValue::ofNumber(4));
  // Values after a broken key line must not land under the previous key.
  EXPECT_EQ(content.keys["Good"].count("lost"), 0u);
  EXPECT_EQ(content.keys["Good"].count("also_lost"), 0u);
  ASSERT_EQ(content.problems.size(), 9u);
  EXPECT_EQ(content.problems[0].rfind("line 1: ", 0), 0u);
  EXPECT_EQ(content.problems[2].rfind("line 5: ", 0), 0u);
  EXPECT_EQ(content.problems[8].rfind("line 11: ", 0), 0u);
}

TEST(RegistryFormatTest, RewriteKeepsCommentsAndIgnoredLines) {
  RegistryContent content = parseRegistryText("# set by the installer\n[k]\nbroken line\nv=n:1\n");
  ASSERT_EQ(content.problems.size(), 1u);
  content.keys["k"]["w"] = RegistryValue::ofNumber(2);
  std::string text = formatRegistryText(content);
  EXPECT_NE(text.find("# set by the installer\n"), std::string::npos);
  EXPECT_NE(text.find("broken line"), std::string::npos);

  // The rewritten file reads cleanly, and rewriting again does not multiply kept lines.
  RegistryContent again = parseRegistryText(text);
  EXPECT_TRUE(again.problems.empty());
  EXPECT_EQ(again.keys["k"].size(), 2u);
  EXPECT_EQ(formatRegistryText(again), text);
}

}  // namespace
}  // namespace zarezodud
