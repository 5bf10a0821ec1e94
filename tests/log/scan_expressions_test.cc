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

TEST(ScanExpressions, StampsStartALineAndTagsGoWithTheirTrailingNs) {
  const std::string text =
      "12/07/26 10:15:00 a\r\n01/02/03 04:05:06\f11/11/11 11:11:11 22/22/22 22:22:22\n1/02/03 04:05:06";
  const Spans expected = {{0, 17}, {21, 38}, {39, 56}};
  EXPECT_EQ(stamps(text, MatchEngine::kRegex), expected);
  EXPECT_EQ(stamps(text, MatchEngine::kFast), expected);
  const std::string tags = "a] [RecNum:1, LineNum:22]nn b] [RecNum:, LineNum:1] c] [RecNum:3, LineNum:4]N";
  EXPECT_EQ(removeRecNumTags(tags, MatchEngine::kRegex), "a b] [RecNum:, LineNum:1] cN");
  EXPECT_EQ(removeRecNumTags(tags, MatchEngine::kFast), "a b] [RecNum:, LineNum:1] cN");
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

// Looking for stamps around a place finds what iterating over the whole text finds.
TEST(ScanExpressions, StampsFoundAroundAPlaceAreTheIteratorsStamps) {
  const std::vector<std::string> pieces = {"12/07/26 10:15:00",
                                           "12/07/26 10:15:0",
                                           "1/07/26 10:15:00",
                                           "\n",
                                           "\r",
                                           "\f",
                                           "x",
                                           "/",
                                           "9",
                                           "###",
                                           "\x85"};
  std::mt19937 rng(20261211);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(rng() % 30);
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
    std::vector<size_t> expected;
    for (const auto& span : stamps(text, MatchEngine::kRegex)) expected.push_back(span.first);

    std::vector<size_t> forward;
    for (size_t at = nextTimeStamp(text, 0); at != std::string_view::npos;
         at = nextTimeStamp(text, at + kTimeStampLength)) {
      forward.push_back(at);
    }
    ASSERT_EQ(forward, expected) << testing::PrintToString(text);
    for (size_t before = 0; before <= text.size(); ++before) {
      size_t last = std::string_view::npos;
      for (size_t at : expected) {
        if (at + kTimeStampLength <= before) last = at;
      }
      ASSERT_EQ(lastTimeStampBefore(text, before, 0), last) << before << " " << testing::PrintToString(text);
      if (last != std::string_view::npos) {
        EXPECT_EQ(lastTimeStampBefore(text, before, last), last);
        EXPECT_EQ(lastTimeStampBefore(text, before, last + 1), std::string_view::npos);
      }
    }
  }
}

}  // namespace
}  // namespace zarezodud
