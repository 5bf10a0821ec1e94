#include "platform/messaging/sg_message_base.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/messaging/sg_message_registry.h"

namespace {

// A small registered kind for the registry checks: field 1 is an object of kind 901, field
// 2 a list of kind 902, field 3 an integer.
constexpr int kGroup = 9000;

class TestParent : public SGMessageBase {
 public:
  TestParent() : SGMessageBase(kGroup, 900) {}
};
class TestChild : public SGMessageBase {
 public:
  TestChild() : SGMessageBase(kGroup, 901) {}
};

void registerTestKinds() {
  static const bool done = [] {
    using zarezodud::SGFieldType;
    zarezodud::registerMessageClass<TestParent>(kGroup, 900,
                                                {{1, SGFieldType::kObject, kGroup, 901},
                                                 {2, SGFieldType::kList, kGroup, 902},
                                                 {3, SGFieldType::kInt64, 0, 0}});
    zarezodud::registerMessageClass<TestChild>(kGroup, 901, {});
    return true;
  }();
  (void)done;
}

SGMessageBase* object(SGMessageBase& m, int fieldNo, bool create, int group = 7, int kind = 8) {
  return m.getObjectAccessor(true, create, 1, fieldNo, 0, 0, group, kind);
}

TEST(SGMessageBase, FreshMessageReadsDefaults) {
  const SGMessageBase m(7, 3);
  EXPECT_EQ(m.group(), 7);
  EXPECT_EQ(m.kind(), 3);
  EXPECT_EQ(m.getint64(1, 0, 0), 0);
  EXPECT_EQ(m.getstring(1, 1, 0, 0), "");
  EXPECT_EQ(m.getObjectAccessor(1, 1, 0, 0, 7, 3), nullptr);
  EXPECT_EQ(m.getlistobject(1, 1, 0, 0), nullptr);
  EXPECT_FALSE(m.hasField(1));
}

TEST(SGMessageBase, FieldsAreKeptByNumberAndTypeChangesReplace) {
  SGMessageBase m(7, 8);
  m.setint64(1, 5, -42, 0, 0);
  m.setstring(2, 6, "six", 0, 0);
  EXPECT_EQ(m.getint64(5, 0, 0), -42);
  EXPECT_EQ(m.getstring(2, 6, 0, 0), "six");
  // Reading a field as another type gives the default, writing another type replaces.
  EXPECT_EQ(m.getstring(1, 5, 0, 0), "");
  EXPECT_EQ(m.getint64(6, 0, 0), 0);
  m.setstring(1, 5, "now text", 0, 0);
  EXPECT_EQ(m.getint64(5, 0, 0), 0);
  EXPECT_EQ(m.getstring(1, 5, 0, 0), "now text");

  std::string& ref = m.getstringByRef(3, 9, 0, 0);
  EXPECT_TRUE(m.hasField(9));
  ref += "abc";
  ref += "def";
  EXPECT_EQ(m.getstring(3, 9, 0, 0), "abcdef");
  m.getstringByRef(1, 5, 0, 0).append("!");
  EXPECT_EQ(m.getstring(1, 5, 0, 0), "now text!");

  m.clearField(5);
  EXPECT_FALSE(m.hasField(5));
}

TEST(SGMessageBase, ObjectFieldCreateGetDrop) {
  SGMessageBase m(7, 8);
  EXPECT_EQ(object(m, 4, false), nullptr);
  SGMessageBase* made = object(m, 4, true, 7, 9);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->kind(), 9);
  EXPECT_EQ(object(m, 4, false, 7, 9), made);
  EXPECT_EQ(object(m, 4, true, 7, 9), made);
  // A nested record of another kind counts as absent.
  EXPECT_EQ(object(m, 4, false, 7, 10), nullptr);
  made->setint64(1, 1, 11, 0, 0);

  SGMessageBase other(7, 9);
  other.setint64(1, 1, 22, 0, 0);
  SGMessageBase* stored = m.setObjectAccessor(&other, 1, 4, 0, 0);
  ASSERT_NE(stored, nullptr);
  EXPECT_NE(stored, &other);
  other.setint64(1, 1, 33, 0, 0);
  EXPECT_EQ(object(m, 4, false, 7, 9)->getint64(1, 0, 0), 22);

  EXPECT_EQ(m.setObjectAccessor(nullptr, 1, 4, 0, 0), nullptr);
  EXPECT_EQ(object(m, 4, false, 7, 9), nullptr);
  EXPECT_FALSE(m.hasField(4));
}

TEST(SGMessageBase, StoringARecordThatIsAlreadyInsideTheTargetIsSafe) {
  SGMessageBase m(7, 8);
  SGMessageBase* child = object(m, 4, true, 7, 9);
  child->setstring(1, 1, "child", 0, 0);
  SGMessageBase* grandchild = child->getObjectAccessor(true, true, 1, 2, 0, 0, 7, 10);
  grandchild->setstring(1, 1, "grandchild", 0, 0);

  // Replace the child by its own copy, then by its own nested record.
  SGMessageBase* again = m.setObjectAccessor(child, 1, 4, 0, 0);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->getstring(1, 1, 0, 0), "child");
  SGMessageBase* lifted = m.setObjectAccessor(again->getObjectAccessor(1, 2, 0, 0, 7, 10), 1, 4, 0, 0);
  ASSERT_NE(lifted, nullptr);
  EXPECT_EQ(lifted->getstring(1, 1, 0, 0), "grandchild");

  // Assigning a record its own nested record.
  SGMessageBase outer(7, 8);
  outer.getObjectAccessor(true, true, 1, 4, 0, 0, 7, 9)->setint64(1, 1, 5, 0, 0);
  outer = *outer.getObjectAccessor(1, 4, 0, 0, 7, 9);
  EXPECT_EQ(outer.kind(), 9);
  EXPECT_EQ(outer.getint64(1, 0, 0), 5);
  outer = outer;
  EXPECT_EQ(outer.getint64(1, 0, 0), 5);
}

TEST(SGMessageBase, CopiesAreDeep) {
  SGMessageBase m(7, 8);
  m.setstring(1, 1, "top", 0, 0);
  object(m, 2, true, 7, 9)->setstring(1, 1, "nested", 0, 0);
  SGMessageList* list = m.getlistobject(1, 3, 0, 0, true);
  SGMessageBase item(7, 10);
  item.setint64(1, 1, 1, 0, 0);
  list->append(item);

  SGMessageBase copy(m);
  SGMessageBase assigned(1, 1);
  assigned = m;
  EXPECT_EQ(assigned.group(), 7);
  EXPECT_EQ(assigned.kind(), 8);

  object(m, 2, false, 7, 9)->setstring(1, 1, "changed", 0, 0);
  list->at(0).setint64(1, 1, 2, 0, 0);
  m.setstring(1, 1, "changed", 0, 0);

  for (const SGMessageBase* c : {&copy, &assigned}) {
    EXPECT_EQ(c->getstring(1, 1, 0, 0), "top");
    EXPECT_EQ(c->getObjectAccessor(1, 2, 0, 0, 7, 9)->getstring(1, 1, 0, 0), "nested");
    ASSERT_EQ(c->getlistobject(1, 3, 0, 0)->size(), 1u);
    EXPECT_EQ(c->getlistobject(1, 3, 0, 0)->at(0).getint64(1, 0, 0), 1);
  }
}

TEST(SGMessageBase, ListsStoreCopiesInOrder) {
  SGMessageBase m(7, 8);
  EXPECT_EQ(m.getlistobject(1, 3, 0, 0, false), nullptr);
  SGMessageList* list = m.getlistobject(1, 3, 0, 0, true);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->empty());
  EXPECT_EQ(m.getlistobject(1, 3, 0, 0, true), list);

  SGMessageBase item(7, 10);
  for (int i = 0; i < 3; ++i) {
    item.setint64(1, 1, i, 0, 0);
    SGMessageBase* stored = list->append(item);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, &item);
  }
  item.setint64(1, 1, 99, 0, 0);
  ASSERT_EQ(list->size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list->at(i).getint64(1, 0, 0), i);

  // Appending an item of the same list copies it before the list grows.
  for (int i = 0; i < 40; ++i) list->append(list->at(0));
  EXPECT_EQ(list->size(), 43u);
  EXPECT_EQ(list->at(42).getint64(1, 0, 0), 0);

  list->clear();
  EXPECT_TRUE(m.getlistobject(1, 3, 0, 0)->empty());
}

SGMessageBase richMessage() {
  SGMessageBase m(23, 169);
  m.setint64(1, 1, std::numeric_limits<int64_t>::min(), 0, 0);
  m.setint64(2, 2, std::numeric_limits<int64_t>::max(), 0, 0);
  m.setstring(3, 3, "", 0, 0);
  m.setstring(4, 4, "  leading and trailing  ", 0, 0);
  m.setstring(5, 5, " \t ", 0, 0);
  m.setstring(6, 6, "a < b && c > d \"quoted\" 'single' ]]> <![CDATA[x]]>", 0, 0);
  m.setstring(7, 7, "line one\r\nline two\nline three\r", 0, 0);
  m.setstring(8, 8, std::string("nul\0inside\x01\x1f", 13), 0, 0);
  m.setstring(9, 9, "caf\xc3\xa9 \xe2\x82\xac", 0, 0);
  SGMessageBase* nested = m.getObjectAccessor(true, true, 10, 10, 0, 0, 23, 152);
  nested->setint64(1, 1, 16, 0, 0);
  nested->setint64(3, 12, 1600000000, 0, 0);
  m.getlistobject(11, 11, 0, 0, true);  // empty list
  SGMessageList* list = m.getlistobject(12, 12, 0, 0, true);
  SGMessageBase item(23, 152);
  item.setstring(1, 1, "first", 0, 0);
  list->append(item);
  item.setstring(1, 1, "second", 0, 0);
  item.getlistobject(1, 2, 0, 0, true)->append(SGMessageBase(23, 1));
  list->append(item);
  return m;
}

TEST(SGMessageBase, XmlRoundTripKeepsEveryField) {
  const SGMessageBase m = richMessage();
  const std::string xml = m.serialize();
  EXPECT_NE(xml.find("<message group=\"23\" kind=\"169\">"), std::string::npos);
  EXPECT_NE(xml.find("<field number=\"12\" type=\"list\">"), std::string::npos);
  EXPECT_NE(xml.find("encoding=\"base64\""), std::string::npos);

  SGMessageBase back(23, 169);
  std::string error;
  ASSERT_TRUE(back.unserialize(xml, &error)) << error << "\n" << xml;
  EXPECT_EQ(back.getint64(1, 0, 0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(back.getint64(2, 0, 0), std::numeric_limits<int64_t>::max());
  for (int n = 3; n <= 9; ++n)
    EXPECT_EQ(back.getstring(n, n, 0, 0), m.getstring(n, n, 0, 0)) << "field " << n;
  EXPECT_TRUE(back.hasField(3));
  const SGMessageBase* nested = back.getObjectAccessor(10, 10, 0, 0, 23, 152);
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->getint64(1, 0, 0), 16);
  EXPECT_EQ(nested->getint64(12, 0, 0), 1600000000);
  ASSERT_NE(back.getlistobject(11, 11, 0, 0), nullptr);
  EXPECT_TRUE(back.getlistobject(11, 11, 0, 0)->empty());
  const SGMessageList* list = back.getlistobject(12, 12, 0, 0);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->size(), 2u);
  EXPECT_EQ(list->at(0).getstring(1, 1, 0, 0), "first");
  EXPECT_EQ(list->at(1).getstring(1, 1, 0, 0), "second");
  ASSERT_NE(list->at(1).getlistobject(1, 2, 0, 0), nullptr);
  EXPECT_EQ(list->at(1).getlistobject(1, 2, 0, 0)->at(0).kind(), 1);

  // Serializing what was read gives the same text again.
  EXPECT_EQ(back.serialize(), xml);
}

TEST(SGMessageBase, ReadsHandWrittenForm) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<!-- media -->\n"
      "<message kind=\"169\" group=\"23\">\n"
      "  <field type=\"list\" number=\"1\">\n"
      "    <message group=\"23\" kind=\"170\">\n"
      "      <field number=\"1\" type=\"object\"><message group=\"23\" kind=\"152\">\n"
      "        <field number=\"1\" type=\"int64\"> 16 </field>\n"
      "        <field number=\"12\" type=\"int64\">-5</field>\n"
      "        <field number=\"2\" type=\"string\"><![CDATA[<raw>]]></field>\n"
      "      </message></field>\n"
      "    </message>\n"
      "  </field>\n"
      "</message>\n";
  SGMessageBase m(23, 169);
  std::string error;
  ASSERT_TRUE(m.unserialize(xml, &error)) << error;
  const SGMessageList* sets = m.getlistobject(1, 1, 0, 0);
  ASSERT_NE(sets, nullptr);
  ASSERT_EQ(sets->size(), 1u);
  const SGMessageBase* media = sets->at(0).getObjectAccessor(1, 1, 0, 0, 23, 152);
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->getint64(1, 0, 0), 16);
  EXPECT_EQ(media->getint64(12, 0, 0), -5);
  EXPECT_EQ(media->getstring(2, 2, 0, 0), "<raw>");
}

std::string nestedObjects(int depth) {
  std::string open, close;
  for (int i = 1; i < depth; ++i) {
    open += "<message group=\"1\" kind=\"2\"><field number=\"1\" type=\"object\">";
    close += "</field></message>";
  }
  return open + "<message group=\"1\" kind=\"2\"/>" + close;
}

TEST(SGMessageBase, NestingUpToTheLimitIsAccepted) {
  SGMessageBase m(1, 2);
  std::string error;
  EXPECT_TRUE(m.unserialize(nestedObjects(SGMessageBase::kMaxDepth), &error)) << error;
  EXPECT_FALSE(m.unserialize(nestedObjects(SGMessageBase::kMaxDepth + 1), &error));
  EXPECT_NE(error.find("deeper"), std::string::npos);
  // Far deeper than any stack would allow if it were followed.
  EXPECT_FALSE(m.unserialize(nestedObjects(100000), &error));
}

TEST(SGMessageBase, UnserializeRejectsEverythingElse) {
  const std::string head = "<message group=\"5\" kind=\"6\">";
  auto field = [](const std::string& attrs, const std::string& body) {
    return "<message group=\"5\" kind=\"6\"><field " + attrs + ">" + body + "</field></message>";
  };
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"empty text", ""},
      {"not XML", "hello"},
      {"unclosed element", head},
      {"mismatched tags", head + "</field>"},
      {"foreign root", "<html><body/></html>"},
      {"two roots", head + "</message>" + head + "</message>"},
      {"text beside the root", head + "</message>trailing"},
      {"other group", "<message group=\"4\" kind=\"6\"/>"},
      {"other kind", "<message group=\"5\" kind=\"7\"/>"},
      {"missing kind", "<message group=\"5\"/>"},
      {"bad group", "<message group=\"five\" kind=\"6\"/>"},
      {"group overflow", "<message group=\"99999999999\" kind=\"6\"/>"},
      {"kind with fraction", "<message group=\"5\" kind=\"6.0\"/>"},
      {"extra attribute", "<message group=\"5\" kind=\"6\" colour=\"red\"/>"},
      {"text in message", head + "words</message>"},
      {"foreign element in message", head + "<entry/></message>"},
      {"field without type", field("number=\"1\"", "1")},
      {"field without number", field("type=\"int64\"", "1")},
      {"field number zero", field("number=\"0\" type=\"int64\"", "1")},
      {"negative field number", field("number=\"-3\" type=\"int64\"", "1")},
      {"unknown type", field("number=\"1\" type=\"double\"", "1.5")},
      {"empty integer", field("number=\"1\" type=\"int64\"", "")},
      {"integer with letters", field("number=\"1\" type=\"int64\"", "12abc")},
      {"integer with plus", field("number=\"1\" type=\"int64\"", "+12")},
      {"integer overflow", field("number=\"1\" type=\"int64\"", "9223372036854775808")},
      {"integer underflow", field("number=\"1\" type=\"int64\"", "-9223372036854775809")},
      {"element in integer", field("number=\"1\" type=\"int64\"", "<b>1</b>")},
      {"element in string", field("number=\"1\" type=\"string\"", "a<b/>c")},
      {"encoding on integer", field("number=\"1\" type=\"int64\" encoding=\"base64\"", "MQ==")},
      {"unknown encoding", field("number=\"1\" type=\"string\" encoding=\"hex\"", "00")},
      {"bad base64", field("number=\"1\" type=\"string\" encoding=\"base64\"", "abc")},
      {"base64 misplaced padding", field("number=\"1\" type=\"string\" encoding=\"base64\"", "a=bc")},
      {"empty object", field("number=\"1\" type=\"object\"", "")},
      {"object with two messages",
       field("number=\"1\" type=\"object\"",
             "<message group=\"1\" kind=\"1\"/><message group=\"1\" kind=\"1\"/>")},
      {"text in object", field("number=\"1\" type=\"object\"", "<message group=\"1\" kind=\"1\"/>x")},
      {"foreign element in list", field("number=\"1\" type=\"list\"", "<item/>")},
      {"bad nested message", field("number=\"1\" type=\"list\"", "<message group=\"1\"/>")},
      {"duplicate field", head + "<field number=\"1\" type=\"int64\">1</field><field number=\"1\" "
                                 "type=\"string\">x</field></message>"},
      {"duplicate attribute", field("number=\"1\" number=\"2\" type=\"int64\"", "1")},
  };
  for (const auto& c : cases) {
    SGMessageBase m(5, 6);
    m.setstring(1, 9, "kept", 0, 0);
    std::string error;
    EXPECT_FALSE(m.unserialize(c.xml, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(m.getstring(1, 9, 0, 0), "kept") << c.what;
    EXPECT_EQ(m.getint64(1, 0, 0), 0) << c.what;
    EXPECT_FALSE(m.unserialize(c.xml, nullptr)) << c.what;
  }
}

TEST(SGMessageBase, UnserializeFuzzedTruncationsNeverCrash) {
  const std::string xml = richMessage().serialize();
  int accepted = 0;
  for (std::size_t cut = 0; cut < xml.size(); ++cut) {
    SGMessageBase m(23, 169);
    std::string error;
    if (m.unserialize(xml.substr(0, cut), &error)) {
      ++accepted;
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
  // Only a cut inside the trailing white space leaves a whole document.
  EXPECT_LE(accepted, 1);
}

TEST(SGMessageRegistry, NestedRecordsAreMadeAsTheirRegisteredClass) {
  registerTestKinds();
  TestParent parent;
  EXPECT_NE(dynamic_cast<TestChild*>(object(parent, 1, true, kGroup, 901)), nullptr);
  // The registration fixes which kind the field holds.
  EXPECT_EQ(object(parent, 1, true, kGroup, 905), nullptr);
  SGMessageBase foreign(kGroup, 905);
  EXPECT_EQ(parent.setObjectAccessor(&foreign, 1, 1, 0, 0), nullptr);
  EXPECT_NE(object(parent, 1, false, kGroup, 901), nullptr);
  // A plain record of the registered kind is stored as an instance of its class.
  SGMessageBase plainChild(kGroup, 901);
  EXPECT_NE(dynamic_cast<TestChild*>(parent.setObjectAccessor(&plainChild, 1, 1, 0, 0)), nullptr);

  SGMessageList* list = parent.getlistobject(1, 2, 0, 0, true);
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->hasElementKind());
  EXPECT_EQ(list->append(SGMessageBase(kGroup, 901)), nullptr);
  EXPECT_NE(list->append(SGMessageBase(kGroup, 902)), nullptr);
  EXPECT_EQ(list->size(), 1u);
  // Field 3 is declared an integer: it cannot become a list or object.
  EXPECT_EQ(parent.getlistobject(1, 3, 0, 0, true), nullptr);
  EXPECT_EQ(object(parent, 3, true, kGroup, 901), nullptr);

  SGMessageBase copy(parent);
  EXPECT_NE(dynamic_cast<const TestChild*>(copy.getObjectAccessor(1, 1, 0, 0, kGroup, 901)), nullptr);
  // The restriction travels with copies.
  EXPECT_EQ(copy.getlistobject(1, 2, 0, 0, true)->append(SGMessageBase(kGroup, 901)), nullptr);
}

TEST(SGMessageRegistry, UnserializeChecksRegisteredLayouts) {
  registerTestKinds();
  const std::string open = "<message group=\"9000\" kind=\"900\">";
  TestParent parent;
  std::string error;
  ASSERT_TRUE(
      parent.unserialize(open + "<field number=\"1\" type=\"object\"><message group=\"9000\" kind=\"901\"/>"
                                "</field><field number=\"2\" type=\"list\"/></message>",
                         &error))
      << error;
  EXPECT_NE(dynamic_cast<TestChild*>(object(parent, 1, false, kGroup, 901)), nullptr);
  EXPECT_EQ(parent.getlistobject(1, 2, 0, 0, false)->elementKind(), 902);

  EXPECT_FALSE(parent.unserialize(
      open + "<field number=\"1\" type=\"object\"><message group=\"9000\" kind=\"902\"/></field></message>",
      &error));
  EXPECT_NE(error.find("expected 9000/901"), std::string::npos) << error;
  EXPECT_FALSE(parent.unserialize(
      open + "<field number=\"2\" type=\"list\"><message group=\"1\" kind=\"902\"/></field></message>",
      &error));
  EXPECT_FALSE(parent.unserialize(open + "<field number=\"3\" type=\"string\">x</field></message>", &error));
  EXPECT_NE(error.find("declared as int64"), std::string::npos) << error;
  // Fields the registration does not name are free.
  EXPECT_TRUE(parent.unserialize(open + "<field number=\"4\" type=\"string\">x</field></message>", &error));
}

}  // namespace
