#include "platform/text/script_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace zarezodud {
namespace {

struct Decoded {
  bool ok = false;
  std::string text;
  ScriptEncoding encoding = ScriptEncoding::kUtf8;
  DecodeError error;
};

Decoded decode(const std::string& bytes, const std::string& codePage = "") {
  Decoded d;
  d.ok = decodeScriptBytes(bytes, codePage, d.text, d.encoding, d.error);
  return d;
}

// UTF-16 bytes of text (ASCII and the code units given as \uXXXX by the caller), with mark.
std::string utf16(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char hi = static_cast<char>(unit >> 8);
    const char lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

TEST(ScriptDecoder, PlainUtf8StaysByteForByteNulIncluded) {
  const std::string bytes("SELECT 'caf\xC3\xA9'\r\nGO\n\0tail", 25);
  const Decoded d = decode(bytes);
  ASSERT_TRUE(d.ok) << d.error.reason;
  EXPECT_EQ(d.text, bytes);
  EXPECT_EQ(d.encoding, ScriptEncoding::kUtf8);
  // A code page changes nothing for a file that is valid UTF-8.
  EXPECT_EQ(decode(bytes, "1252").text, bytes);
  EXPECT_EQ(decode(bytes, "1252").encoding, ScriptEncoding::kUtf8);
}

TEST(ScriptDecoder, Utf8ByteOrderMarkIsDropped) {
  const Decoded d = decode("\xEF\xBB\xBFGO\nSELECT 1\n");
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.text, "GO\nSELECT 1\n");
  EXPECT_EQ(d.encoding, ScriptEncoding::kUtf8WithBom);
  // A mark promises UTF-8: a code page does not rescue a bad byte after it.
  const Decoded bad = decode("\xEF\xBB\xBF-- caf\xE9\n", "1252");
  ASSERT_FALSE(bad.ok);
  EXPECT_EQ(bad.error.byteOffset, 9u);
  EXPECT_NE(bad.error.reason.find("byte-order mark"), std::string::npos) << bad.error.reason;
}

TEST(ScriptDecoder, Utf16BothByteOrdersDecodeToUtf8WithLineEndsAndSurrogatePairs) {
  // "GO\r\nN'é日😀'\n": é U+00E9, 日 U+65E5, 😀 U+1F600 (a surrogate pair).
  const std::u16string text = u"GO\r\nN'\u00E9\u65E5\U0001F600'\n";
  const std::string expected = "GO\r\nN'\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80'\n";
  for (bool bigEndian : {false, true}) {
    const Decoded d = decode(utf16(text, bigEndian));
    ASSERT_TRUE(d.ok) << d.error.reason;
    EXPECT_EQ(d.text, expected) << bigEndian;
    EXPECT_EQ(d.encoding, bigEndian ? ScriptEncoding::kUtf16Be : ScriptEncoding::kUtf16Le);
  }
}

TEST(ScriptDecoder, EmptyFileAndMarkOnly) {
  for (const std::string& bytes :
       {std::string(), std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"), std::string("\xFE\xFF")}) {
    const Decoded d = decode(bytes);
    EXPECT_TRUE(d.ok) << d.error.reason;
    EXPECT_EQ(d.text, "");
  }
}

TEST(ScriptDecoder, Utf16WithOddByteCountIsRefusedAtItsLastByte) {
  std::string bytes = utf16(u"A\nB", false) + "C";  // 2 + 6 + 1 bytes
  Decoded d = decode(bytes);
  ASSERT_FALSE(d.ok);
  EXPECT_EQ(d.error.byteOffset, 8u);
  EXPECT_EQ(d.error.line, 2);
  EXPECT_NE(d.error.reason.find("odd number of bytes (9)"), std::string::npos) << d.error.reason;
  EXPECT_TRUE(d.text.empty());
  d = decode(std::string("\xFE\xFF\x00", 3));
  ASSERT_FALSE(d.ok);
  EXPECT_EQ(d.error.byteOffset, 2u);
  EXPECT_NE(d.error.reason.find("UTF-16 BE"), std::string::npos);
}

TEST(ScriptDecoder, UnpairedSurrogatesAreRefusedWhereTheyStand) {
  struct Case {
    std::u16string text;
    std::size_t offset;
    int line;
  } cases[] = {
      {u"ab\n\xD800x", 8, 2},  // high surrogate followed by an ordinary unit
      {u"\xDC00", 2, 1},       // low surrogate alone
      {u"a\n\n\xD83D", 8, 3},  // high surrogate at the very end
  };
  for (const Case& c : cases) {
    for (bool bigEndian : {false, true}) {
      const Decoded d = decode(utf16(c.text, bigEndian));
      ASSERT_FALSE(d.ok);
      EXPECT_EQ(d.error.byteOffset, c.offset);
      EXPECT_EQ(d.error.line, c.line);
      EXPECT_NE(d.error.reason.find("unpaired surrogate"), std::string::npos) << d.error.reason;
    }
  }
}

TEST(ScriptDecoder, InvalidUtf8WithoutCodePageIsRefusedWithLineAndOffset) {
  const Decoded d = decode("SELECT 1\n-- caf\xE9\nSELECT 2\n");
  ASSERT_FALSE(d.ok);
  EXPECT_EQ(d.error.line, 2);
  EXPECT_EQ(d.error.byteOffset, 15u);
  EXPECT_NE(d.error.reason.find("0xE9"), std::string::npos);
  EXPECT_EQ(describeDecodeError("/s/a.sql", d.error)
                .rfind("Script [/s/a.sql] line 2, byte offset 15: not valid UTF-8", 0),
            0u)
      << describeDecodeError("/s/a.sql", d.error);
}

TEST(ScriptDecoder, FindInvalidUtf8KnowsTheForbiddenForms) {
  EXPECT_EQ(findInvalidUtf8("plain ascii text, longer than eight bytes"), std::string::npos);
  EXPECT_EQ(findInvalidUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), std::string::npos);
  EXPECT_EQ(findInvalidUtf8("abc\xC0\xAF"), 3u) << "overlong '/'";
  EXPECT_EQ(findInvalidUtf8("ab\xE0\x80\xAF"), 2u) << "overlong three-byte form";
  EXPECT_EQ(findInvalidUtf8("\xED\xA0\x80"), 0u) << "encoded surrogate";
  EXPECT_EQ(findInvalidUtf8("x\xF4\x90\x80\x80"), 1u) << "above U+10FFFF";
  EXPECT_EQ(findInvalidUtf8("12345678\xC3"), 8u) << "cut at the end";
  EXPECT_EQ(findInvalidUtf8("\xC3(x"), 0u) << "missing continuation";
  EXPECT_EQ(findInvalidUtf8("\x80"), 0u) << "stray continuation";
}

TEST(ScriptDecoder, CodePageConvertsTextThatIsNotUtf8) {
  const Decoded d = decode("-- caf\xE9 \x80\nSELECT 1\n", "1252");
  ASSERT_TRUE(d.ok) << d.error.reason;
  EXPECT_EQ(d.text, "-- caf\xC3\xA9 \xE2\x82\xAC\nSELECT 1\n");
  EXPECT_EQ(d.encoding, ScriptEncoding::kCodePage);
  EXPECT_EQ(decode("\xE9", "ISO-8859-1").text, "\xC3\xA9");

  // 0x81 is not a character of code page 1252.
  const Decoded bad = decode("ok\n\xE9\x81", "1252");
  ASSERT_FALSE(bad.ok);
  EXPECT_EQ(bad.error.byteOffset, 4u);
  EXPECT_EQ(bad.error.line, 2);
  EXPECT_NE(bad.error.reason.find("0x81"), std::string::npos) << bad.error.reason;
}

TEST(ScriptDecoder, CodePageNames) {
  EXPECT_EQ(iconvCharsetName("1252"), "CP1252");
  EXPECT_EQ(iconvCharsetName("ISO-8859-1"), "ISO-8859-1");
  std::string error;
  EXPECT_TRUE(checkCodePage("1252", error)) << error;
  EXPECT_TRUE(checkCodePage("windows-1252", error)) << error;
  EXPECT_FALSE(checkCodePage("no-such-page", error));
  EXPECT_NE(error.find("[no-such-page]"), std::string::npos);
  EXPECT_FALSE(checkCodePage("", error));
  const Decoded d = decode("\xE9", "no-such-page");
  EXPECT_FALSE(d.ok);
  EXPECT_NE(d.error.reason.find("not known"), std::string::npos);
}

}  // namespace
}  // namespace zarezodud
