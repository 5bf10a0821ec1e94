// The JSON writer's escaping and layout, and the reading of such documents back in tests.
#include <gtest/gtest.h>

#include "support/json_document.h"
#include "json_writer.h"

namespace {

using zcli::JsonValue;
using zcli::JsonWriter;
using zcli::parseJson;

TEST(JsonWriterTest, QuoteEscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonWriter::quote("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonWriter::quote("l1\nl2\r\t\b\f"), "\"l1\\nl2\\r\\t\\b\\f\"");
  EXPECT_EQ(JsonWriter::quote(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonWriter::quote(std::string("nul\0end", 7)), "\"nul\\u0000end\"");
}

TEST(JsonWriterTest, QuoteKeepsValidUtf8AndReplacesInvalidBytes) {
  EXPECT_EQ(JsonWriter::quote("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
            "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"");
  // A lone continuation byte, a truncated sequence, an overlong form and an encoded surrogate.
  EXPECT_EQ(JsonWriter::quote("a\x80z"), "\"a\\ufffdz\"");
  EXPECT_EQ(JsonWriter::quote("a\xe2\x82"), "\"a\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonWriter::quote("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonWriter::quote("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
}

// A long document handed over in pieces is the same text as one built whole.
TEST(JsonWriterTest, StreamedTextIsTheSameAsWholeText) {
  const auto build = [](JsonWriter& w) {
    w.beginObject().key("items").beginArray();
    for (int i = 0; i < 500; ++i) w.beginObject().key("n").value(i).key("s").value("x\ty").endObject();
    w.endArray().endObject();
  };
  JsonWriter whole;
  build(whole);
  std::string streamed;
  int pieces = 0;
  JsonWriter w;
  w.streamTo(
      [&](std::string_view piece) {
        streamed.append(piece);
        ++pieces;
        return true;
      },
      1024);
  build(w);
  EXPECT_LT(w.str().size(), 1100u) << "never much more than the buffer is held";
  EXPECT_TRUE(w.flush());
  EXPECT_EQ(streamed, whole.str());
  EXPECT_GT(pieces, 10);

  JsonWriter failing;
  failing.streamTo([](std::string_view) { return false; }, 16);
  build(failing);
  EXPECT_FALSE(failing.flush());
}

TEST(JsonWriterTest, NestedDocumentParsesBackToTheSameValues) {
  JsonWriter w;
  w.beginObject();
  w.key("name").value("x\"y\n");
  w.key("count").value(int64_t{-42});
  w.key("ok").value(true);
  w.key("none").null();
  w.key("seconds").value(1.5);
  w.key("list").beginArray().value(1).beginObject().endObject().beginArray().endArray().endArray();
  w.key("ratio").value(0.0 / 0.0);
  w.endObject();
  ASSERT_EQ(w.str().back(), '\n');

  JsonValue root;
  std::string error;
  ASSERT_TRUE(parseJson(w.str(), root, error)) << error << "\n" << w.str();
  EXPECT_EQ(root.stringOr("name", ""), "x\"y\n");
  EXPECT_EQ(root.intOr("count", 0), -42);
  ASSERT_NE(root.find("ok"), nullptr);
  EXPECT_TRUE(root.find("ok")->flag);
  EXPECT_EQ(root.find("none")->type, JsonValue::Type::kNull);
  EXPECT_DOUBLE_EQ(root.find("seconds")->number, 1.5);
  const JsonValue* list = root.find("list");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->items.size(), 3u);
  EXPECT_EQ(list->items[1].type, JsonValue::Type::kObject);
  EXPECT_EQ(list->items[2].type, JsonValue::Type::kArray);
  EXPECT_EQ(root.find("ratio")->type, JsonValue::Type::kNull);
}

TEST(JsonReaderTest, DecodesEscapesIncludingSurrogatePairs) {
  JsonValue v;
  std::string error;
  ASSERT_TRUE(parseJson(R"(["\u00e9\ud83d\ude00\/\t"])", v, error)) << error;
  EXPECT_EQ(v.items.at(0).text, "\xc3\xa9\xf0\x9f\x98\x80/\t");
}

TEST(JsonReaderTest, RejectsMalformedTextWithAPosition) {
  const char* bad[] = {
      "{\"a\":1,}", "[1,]", "{\"a\" 1}",   "[01]",           "[1.]",      "\"\\ud800\"", "\"tab\tin\"",
      "[1] x",      "",     "{\"a\":tru}", "\"unterminated", "[\"\\q\"]", "-",           "[1e]",
  };
  for (const char* text : bad) {
    JsonValue v;
    std::string error;
    EXPECT_FALSE(parseJson(text, v, error)) << text;
    EXPECT_NE(error.find("line 1, column"), std::string::npos) << text << ": " << error;
  }
}

TEST(JsonReaderTest, RefusesExcessiveNesting) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(parseJson(std::string(60, '[') + std::string(60, ']'), v, error)) << error;
  EXPECT_FALSE(parseJson(std::string(100, '[') + std::string(100, ']'), v, error));
  EXPECT_NE(error.find("too deep"), std::string::npos);
}

}  // namespace
