#include "log/scan_expressions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "log/log_scanner.h"

namespace zarezodud {
namespace {

using Spans = std::vector<std::pair<size_t, size_t>>;

Spans stamps(const std::string& text, MatchEngine engine) {
  Spans out;
  findTimeStamps(text, engine, out);
  return out;
}

TEST(ScanExpressions, TimeStampsStartTheTextOrALine) {
  const std::string text =
      "12/07/26 10:15:00 a\n01/02/03 04:05:06 b\r\n11/11/11 11:11:11\f22/22/22 22:22:22 "
      "33/33/33 33:33:33 x\r44/44/44 44:44:44\n1/02/03 04:05:06\n12/07/2610:15:00\n12/07/26 10:15:0";
  const Spans expected = {{0, 17}, {20, 37}, {41, 58}, {59, 76}, {97, 114}};
  EXPECT_EQ(stamps(text, MatchEngine::kRegex), expected);
  EXPECT_EQ(stamps(text, MatchEngine::kFast), expected);
}

TEST(ScanExpressions, RecordTagsAndTheirTrailingNsAreRemoved) {
  const std::string text =
      "a] [RecNum:1, LineNum:22]nn b] [RecNum:, LineNum:1] c] [RecNum:3, LineNum:4]] [RecNum:5, LineNum:6]N "
      "d] [RecNum:7,LineNum:8] e] [RecNum:9, LineNum:10";
  const std::string expected =
      "a b] [RecNum:, LineNum:1] cN d] [RecNum:7,LineNum:8] e] [RecNum:9, LineNum:10";
  EXPECT_EQ(removeRecNumTags(text, MatchEngine::kRegex), expected);
  EXPECT_EQ(removeRecNumTags(text, MatchEngine::kFast), expected);
}

// Random texts built from pieces that nearly match: both engines must agree on every one.
TEST(ScanExpressions, FastEngineAgreesWithTheExpressions) {
  const std::vector<std::string> pieces = {"12/07/26 10:15:00",
                                           "1/07/26 10:15:00",
                                           "12/07/2610:15:00",
                                           "12/07/26 10:15:0",
                                           "99/99/99 99:99:99",
                                           "\n",
                                           "\r",
                                           "\r\n",
                                           "\f",
                                           "\v",
                                           " ",
                                           "x",
                                           "9",
                                           "/",
                                           ":",
                                           "n",
                                           "nn",
                                           "]",
                                           "] [RecNum:1, LineNum:2]",
                                           "] [RecNum:, LineNum:2]",
                                           "] [RecNum:12, LineNum:]",
                                           "] [RecNum:3, LineNum:4",
                                           "[RecNum:3, LineNum:4]n",
                                           "###ERROR###",
                                           "###WARNING###",
                                           "###ADVICE###",
                                           "###HEADER###",
                                           "###DATA###",
                                           "###DESCRIPTION###",
                                           ":,:",
                                           std::string(1, '\0'),
                                           "\x85",
                                           "\xff",
                                           "\xd9\xa3"};
  std::mt19937 rng(20261207);
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    const int count = static_cast<int>(rng() % 40);
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];

    ASSERT_EQ(stamps(text, MatchEngine::kFast), stamps(text, MatchEngine::kRegex))
        << testing::PrintToString(text);
    ASSERT_EQ(removeRecNumTags(text, MatchEngine::kFast), removeRecNumTags(text, MatchEngine::kRegex))
        << testing::PrintToString(text);

    std::vector<LOGINFO> fast;
    std::vector<LOGINFO> regex;
    scanScriptOutput(text, fast, MatchEngine::kFast);
    scanScriptOutput(text, regex, MatchEngine::kRegex);
    ASSERT_EQ(fast.size(), regex.size()) << testing::PrintToString(text);
    for (size_t i = 0; i < fast.size(); ++i) {
      ASSERT_EQ(fast[i].type, regex[i].type) << testing::PrintToString(text);
      ASSERT_EQ(fast[i].message, regex[i].message) << testing::PrintToString(text);
    }
  }
}

}  // namespace
}  // namespace zarezodud
