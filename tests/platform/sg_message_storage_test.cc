// The flat storage of SGMessageBase: its XML text against a document-tree rendering, references
// that must survive field and list growth, moves and copies between plain records and list
// records, shared text, and lists across their block boundaries.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/crypto/base64.h"
#include "platform/messaging/sg_message_base.h"
#include "platform/messaging/sg_message_fields.h"
#include "platform/messaging/sg_message_registry.h"

namespace {

using zarezodud::SGFieldType;

// --- the XML form, rendered through a document tree --------------------------------------------

bool needsBase64(const std::string& text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
  }
  return false;
}

void treeMessage(pugi::xml_node parent, const SGMessageBase& message) {
  pugi::xml_node node = parent.append_child("message");
  node.append_attribute("group").set_value(message.group());
  node.append_attribute("kind").set_value(message.kind());
  const SGMessageBase::Fields* fields = SGMessageAccess::fields(message);
  if (fields == nullptr) return;
  for (const SGField& field : *fields) {
    pugi::xml_node f = node.append_child("field");
    f.append_attribute("number").set_value(field.number);
    static const char* const names[] = {"int64", "string", "object", "list"};
    f.append_attribute("type").set_value(names[static_cast<int>(field.type)]);
    switch (field.type) {
      case SGFieldType::kInt64:
        f.append_child(pugi::node_pcdata).set_value(std::to_string(field.integer).c_str());
        break;
      case SGFieldType::kString: {
        const std::string text(field.textView());
        if (needsBase64(text)) {
          f.append_attribute("encoding").set_value("base64");
          const std::string encoded =
              zarezodud::encodeBase64(reinterpret_cast<const unsigned char*>(text.data()), text.size());
          f.append_child(pugi::node_pcdata).set_value(encoded.c_str());
        } else if (!text.empty()) {
          f.append_child(pugi::node_pcdata).set_value(text.c_str());
        }
        break;
      }
      case SGFieldType::kObject:
        treeMessage(f, *field.object);
        break;
      case SGFieldType::kList:
        for (std::size_t i = 0; i < field.list->size(); ++i) treeMessage(f, field.list->at(i));
        break;
    }
  }
}

std::string treeText(const SGMessageBase& message) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version").set_value("1.0");
  decl.append_attribute("encoding").set_value("UTF-8");
  treeMessage(doc, message);
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  return out.str();
}

std::string randomText(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {"a",
                                                  " ",
                                                  "  ",
                                                  "\t",
                                                  "\n",
                                                  "\r\n",
                                                  "&",
                                                  "<",
                                                  ">",
                                                  "\"",
                                                  "'",
                                                  "]]>",
                                                  "<![CDATA[",
                                                  "&amp;",
                                                  "caf\xc3\xa9",
                                                  "\xff",
                                                  "\x01",
                                                  "\x1f",
                                                  std::string(1, '\0'),
                                                  "\x7f",
                                                  "text of some length"};
  std::string text;
  const int count = static_cast<int>(rng() % 6);
  for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
  return text;
}

void fillRandomly(SGMessageBase& message, std::mt19937& rng, int depth) {
  const int fieldCount = static_cast<int>(rng() % 6);
  for (int i = 0; i < fieldCount; ++i) {
    const int number = static_cast<int>(rng() % 20) - 2;  // also 0 and negative numbers
    switch (rng() % 4) {
      case 0:
        message.setint64(1, number, static_cast<int64_t>(rng()) - (int64_t{1} << 31), 0, 0);
        break;
      case 1:
        message.setstring(1, number, randomText(rng), 0, 0);
        break;
      case 2:
        if (depth < 4) {
          fillRandomly(
              *message.getObjectAccessor(true, true, 1, number, 0, 0, 7, static_cast<int>(rng() % 3)), rng,
              depth + 1);
        }
        break;
      default: {
        SGMessageList* list = message.getlistobject(1, number, 0, 0, true);
        const int items = depth < 4 ? static_cast<int>(rng() % 4) : 0;
        for (int k = 0; list != nullptr && k < items; ++k) {
          SGMessageBase item(-7, static_cast<int>(rng() % 3));
          fillRandomly(item, rng, depth + 1);
          list->append(std::move(item));
        }
        break;
      }
    }
  }
}

TEST(SGMessageStorage, XmlTextIsTheDocumentTreeRendering) {
  std::mt19937 rng(20261210);
  for (int round = 0; round < 500; ++round) {
    SGMessageBase message(static_cast<int>(rng() % 5) - 1, static_cast<int>(rng() % 300));
    fillRandomly(message, rng, 0);
    const std::string text = message.serialize();
    ASSERT_EQ(text, treeText(message)) << "round " << round;
    std::ostringstream streamed;
    message.serialize(streamed);
    ASSERT_EQ(streamed.str(), text);
  }
}

// A stream buffer that counts the writes it receives.
class CountingBuffer : public std::stringbuf {
 public:
  int writes = 0;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    ++writes;
    return std::stringbuf::xsputn(s, n);
  }
};

TEST(SGMessageStorage, LargeRecordsAreWrittenInPieces) {
  SGMessageBase message(1, 1);
  SGMessageList* list = message.getlistobject(1, 1, 0, 0, true);
  SGMessageBase item(1, 2);
  for (int i = 0; i < 20000; ++i) {
    item.setstring(1, 1, "value " + std::to_string(i), 0, 0);
    list->append(item);
  }
  CountingBuffer buffer;
  std::ostream out(&buffer);
  message.serialize(out);
  EXPECT_EQ(buffer.str(), message.serialize());
  EXPECT_GT(buffer.writes, 10);  // about 1.6 MB of text, handed over in pieces
}

// --- references and moves ---------------------------------------------------------------------

TEST(SGMessageStorage, StringReferencesSurviveFieldsAddedAround) {
  SGMessageBase plain(7, 8);
  SGMessageList* list = plain.getlistobject(1, 50, 0, 0, true);
  SGMessageBase* inList = list->append(SGMessageBase(7, 9));
  for (SGMessageBase* m : {&plain, inList}) {
    std::string& ref = m->getstringByRef(1, 10, 0, 0);
    ref = "kept";
    // Fields before and after it, far more than the first block holds.
    for (int n = 1; n < 40; ++n) {
      if (n != 10) m->setint64(1, n, n, 0, 0);
    }
    ref += " through growth";
    EXPECT_EQ(m->getstring(1, 10, 0, 0), "kept through growth");
    m->setstring(1, 10, "set again", 0, 0);
    EXPECT_EQ(ref, "set again");
    for (int n = 1; n < 40; ++n) {
      if (n != 10) {
        EXPECT_EQ(m->getint64(n, 0, 0), n);
      }
    }
  }
}

SGMessageBase sample(const std::string& text) {
  SGMessageBase m(7, 9);
  m.setstring(1, 1, text, 0, 0);
  m.setint64(2, 2, 42, 0, 0);
  SGMessageList* list = m.getlistobject(3, 3, 0, 0, true);
  SGMessageBase item(7, 10);
  item.setstring(1, 1, text + " item", 0, 0);
  list->append(item);
  return m;
}

void expectSample(const SGMessageBase& m, const std::string& text) {
  EXPECT_EQ(m.kind(), 9);
  EXPECT_EQ(m.getstring(1, 1, 0, 0), text);
  EXPECT_EQ(m.getint64(2, 0, 0), 42);
  ASSERT_NE(m.getlistobject(3, 3, 0, 0), nullptr);
  ASSERT_EQ(m.getlistobject(3, 3, 0, 0)->size(), 1u);
  EXPECT_EQ(m.getlistobject(3, 3, 0, 0)->at(0).getstring(1, 1, 0, 0), text + " item");
}

TEST(SGMessageStorage, MovesTakeFieldsOverBetweenPlainAndListRecords) {
  SGMessageBase holder(7, 8);
  SGMessageList* list = holder.getlistobject(1, 1, 0, 0, true);

  // Into a list: the source is left without fields.
  SGMessageBase source = sample("first text, longer than the inline room");
  SGMessageBase* stored = list->append(std::move(source));
  ASSERT_NE(stored, nullptr);
  expectSample(*stored, "first text, longer than the inline room");
  EXPECT_FALSE(source.hasField(1));
  EXPECT_EQ(source.kind(), 9);

  // Out of a list: the list's record is left without fields, the new one holds them.
  SGMessageBase out(std::move(*stored));
  expectSample(out, "first text, longer than the inline room");
  EXPECT_FALSE(list->at(0).hasField(1));
  // Changing the moved record does not reach the list.
  out.setstring(1, 1, "changed", 0, 0);
  EXPECT_EQ(list->at(0).getstring(1, 1, 0, 0), "");

  // Between list records, and from a record nested inside the target.
  list->at(0) = sample("second");
  list->append(sample("third"));
  list->at(1) = std::move(list->at(0));
  expectSample(list->at(1), "second");
  SGMessageBase outer = sample("outer");
  SGMessageBase* nested = outer.getlistobject(3, 3, 0, 0, true)->append(sample("nested"));
  outer = std::move(*nested);
  expectSample(outer, "nested");
  list->at(0) = sample("again");
  list->at(0) = std::move(list->at(0).getlistobject(3, 3, 0, 0, true)->at(0));
  EXPECT_EQ(list->at(0).getstring(1, 1, 0, 0), "again item");
  EXPECT_EQ(list->at(0).kind(), 10);
}

TEST(SGMessageStorage, CopiesOfListRecordsAreIndependent) {
  SGMessageBase holder(7, 8);
  SGMessageList* list = holder.getlistobject(1, 1, 0, 0, true);
  list->append(sample("original"));
  SGMessageBase copy(list->at(0));
  SGMessageBase assigned(1, 1);
  assigned = list->at(0);
  list->at(0).setstring(1, 1, "changed", 0, 0);
  list->at(0).getlistobject(3, 3, 0, 0, true)->at(0).setstring(1, 1, "changed too", 0, 0);
  expectSample(copy, "original");
  expectSample(assigned, "original");
  copy.setstring(1, 1, "copy", 0, 0);
  EXPECT_EQ(list->at(0).getstring(1, 1, 0, 0), "changed");
  // A list record assigned its own nested record, and a record its own list's record.
  list->at(0) = list->at(0).getlistobject(3, 3, 0, 0)->at(0);
  EXPECT_EQ(list->at(0).getstring(1, 1, 0, 0), "changed too");
  SGMessageBase outer = sample("outer");
  outer = outer.getlistobject(3, 3, 0, 0)->at(0);
  EXPECT_EQ(outer.getstring(1, 1, 0, 0), "outer item");
}

TEST(SGMessageStorage, ListsKeepRecordsInPlaceAcrossBlocks) {
  for (std::size_t count : {0u, 1u, 2u, 3u, 6u, 7u, 14u, 15u, 100u, 3000u}) {
    SGMessageBase holder(7, 8);
    SGMessageList* list = holder.getlistobject(1, 1, 0, 0, true);
    std::vector<const SGMessageBase*> addresses;
    SGMessageBase item(7, 9);
    for (std::size_t i = 0; i < count; ++i) {
      item.setint64(1, 1, static_cast<int64_t>(i), 0, 0);
      addresses.push_back(list->append(item));
    }
    ASSERT_EQ(list->size(), count);
    const SGMessageBase copy(holder);
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(&list->at(i), addresses[i]) << count;
      ASSERT_EQ(list->at(i).getint64(1, 0, 0), static_cast<int64_t>(i));
      ASSERT_EQ(copy.getlistobject(1, 1, 0, 0)->at(i).getint64(1, 0, 0), static_cast<int64_t>(i));
    }
    EXPECT_THROW(list->at(count), std::out_of_range);
    list->clear();
    EXPECT_TRUE(list->empty());
    list->append(item);
    EXPECT_EQ(list->size(), 1u);
  }
}

// --- shared text ------------------------------------------------------------------------------

TEST(SGMessageStorage, SharedTextIsViewedAndOutlivesItsHandle) {
  const std::string longPart = "a part of the shared text long enough to be viewed";
  SGMessageBase message(7, 8);
  const char* bufferStart = nullptr;
  {
    SGMessageBase::SharedText text("prefix " + longPart + " short");
    const std::string_view all = text.view();
    bufferStart = all.data();
    message.setstring(1, 1, text, all.substr(7, longPart.size()), 0, 0);
    message.setstring(1, 2, text, all.substr(all.size() - 5), 0, 0);
    // A part that does not lie in the buffer is copied.
    const std::string elsewhere = "not from the buffer, and long enough to need a block";
    message.setstring(1, 3, text, elsewhere, 0, 0);
  }
  const SGField* viewed = SGMessageAccess::fields(message)->find(1);
  ASSERT_NE(viewed, nullptr);
  EXPECT_EQ(viewed->textView().data(), bufferStart + 7);
  EXPECT_EQ(message.getstring(1, 1, 0, 0), longPart);
  EXPECT_EQ(message.getstring(1, 2, 0, 0), "short");
  EXPECT_EQ(message.getstring(1, 3, 0, 0), "not from the buffer, and long enough to need a block");

  // Copies view the same bytes; a change by reference copies them out first.
  SGMessageBase copy(message);
  EXPECT_EQ(SGMessageAccess::fields(copy)->find(1)->textView().data(), bufferStart + 7);
  copy.getstringByRef(1, 1, 0, 0) += "!";
  EXPECT_EQ(copy.getstring(1, 1, 0, 0), longPart + "!");
  EXPECT_EQ(message.getstring(1, 1, 0, 0), longPart);
}

TEST(SGMessageStorage, CopiesOnManyThreadsReleaseSharedTextOnce) {
  SGMessageBase::SharedText text(std::string(1000, 't'));
  SGMessageBase message(7, 8);
  for (int n = 1; n <= 50; ++n)
    message.setstring(1, n, text, text.view().substr(static_cast<size_t>(n), 100), 0, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&message] {
      for (int i = 0; i < 200; ++i) {
        SGMessageBase copy(message);
        SGMessageBase moved(std::move(copy));
        ASSERT_EQ(moved.getstring(1, 7, 0, 0), std::string(100, 't'));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // Only the handle and the message's fields are left holding the buffer.
  EXPECT_EQ(SGMessageAccess::block(text)->refs.load(), 51u);
  message = SGMessageBase(7, 8);
  EXPECT_EQ(SGMessageAccess::block(text)->refs.load(), 1u);
}

}  // namespace
