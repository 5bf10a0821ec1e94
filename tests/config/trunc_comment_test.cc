#include <gtest/gtest.h>

#include <string>

#include "config/profile_store.h"

namespace {

TEST(TruncComment, CutsCommentsOutsideTokensQuotesAndEscapes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"value ; note", "value "},                  // comment after white space; that space stays
      {"; whole line", ""},                        // comment at the start of the line
      {"/opt/app/bin", ""},                        // ... even a path there
      {"path=/opt/app;x#y", "path=/opt/app;x#y"},  // comment characters inside a token
      {"a b   ", "a b"},                           // no comment: trailing white space goes
      {"   ", "   "},                              // no token: nothing remembered
      {"\"a ; b\" ; c", "\"a ; b\" "},             // quotes protect white space and comments
      {"\"open ; never closed", "\"open ; never closed"},
      {"a \\; b", "a \\; b"},                   // escaped comment character is literal
      {"\"a\\\" ; b\" ; c", "\"a\\\" ; b\" "},  // escaped quote does not close the quotes
      {"a \\x", "a \\x"},                       // escaped character after space starts a token
      {"a \\\\ ; c", "a \\\\ "},                // second backslash is literal and ends the escape
      {"\"q\\\\\" # c", "\"q\\\\\" "},          // ... so the quote after it closes the quotes
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(TruncComment(&text[0]), 0);
    EXPECT_STREQ(text.c_str(), c.out) << "input: " << c.in;
  }
}

}  // namespace
