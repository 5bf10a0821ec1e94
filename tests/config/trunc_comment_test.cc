#include <string>

#include <gtest/gtest.h>

#include "config/profile_store.h"

namespace {

std::string truncated(std::string text) {
  EXPECT_EQ(TruncComment(&text[0]), 0);
  return std::string(text.c_str());
}

TEST(TruncComment, CommentAfterWhiteSpaceOrAtStartIsCut) {
  EXPECT_EQ(truncated("value ; note"), "value ");
  EXPECT_EQ(truncated("value\t# note"), "value\t");
  EXPECT_EQ(truncated("a b // note"), "a b ");
  EXPECT_EQ(truncated("; whole line"), "");
  EXPECT_EQ(truncated("   # indented"), "   ");
}

TEST(TruncComment, CommentCharactersInsideTokensAreLiteral) {
  EXPECT_EQ(truncated("/opt/app/bin"), "");  // a '/' at the start of the line opens a comment
  EXPECT_EQ(truncated("path=/opt/app;x#y"), "path=/opt/app;x#y");
  EXPECT_EQ(truncated("dir /opt/x"), "dir ");
}

TEST(TruncComment, TrailingWhiteSpaceIsRemovedWithoutComment) {
  EXPECT_EQ(truncated("a b   "), "a b");
  EXPECT_EQ(truncated("token\t \t"), "token");
  EXPECT_EQ(truncated("   "), "   ");  // no token, nothing remembered
  EXPECT_EQ(truncated(""), "");
}

TEST(TruncComment, QuotesProtectCommentsAndWhiteSpace) {
  EXPECT_EQ(truncated("\"a ; b\" ; c"), "\"a ; b\" ");
  EXPECT_EQ(truncated("\"open ; never closed"), "\"open ; never closed");
  EXPECT_EQ(truncated("x \"# not\"   "), "x \"# not\"");
}

TEST(TruncComment, BackslashMakesTheNextCharacterLiteral) {
  EXPECT_EQ(truncated("a \\; b"), "a \\; b");
  EXPECT_EQ(truncated("\\#start"), "\\#start");
  EXPECT_EQ(truncated("a \\\"; b"), "a \\\"; b");
  // An escaped character after white space starts a token, so the earlier white space is
  // no longer trailing.
  EXPECT_EQ(truncated("a \\x"), "a \\x");
}

TEST(TruncComment, SecondBackslashIsLiteralAndEndsTheEscape) {
  EXPECT_EQ(truncated("a \\\\ ; c"), "a \\\\ ");
  EXPECT_EQ(truncated("a \\\\; c"), "a \\\\; c");
  EXPECT_EQ(truncated("\"q\\\\\" # c"), "\"q\\\\\" ");
}

TEST(TruncComment, NullTextGivesCode) { EXPECT_EQ(TruncComment(nullptr), PROFILE_TOO_LONG); }

}  // namespace
