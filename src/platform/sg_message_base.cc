#include "platform/sg_message_base.h"

#include "platform/base64.h"

#include <charconv>
#include <climits>
#include <map>
#include <mutex>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <utility>

using zarezodud::SGFieldSpec;
using zarezodud::SGFieldType;

namespace {

struct KindEntry {
  zarezodud::SGMessageFactory factory = nullptr;
  std::map<int, SGFieldSpec> fields;
};

class KindRegistry {
 public:
  static KindRegistry& instance() {
    static KindRegistry registry;
    return registry;
  }

  void add(int group, int kind, zarezodud::SGMessageFactory factory, std::vector<SGFieldSpec> fields) {
    auto entry = std::make_shared<KindEntry>();
    entry->factory = factory;
    for (const SGFieldSpec& declared : fields) entry->fields[declared.number] = declared;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries[{group, kind}] = std::move(entry);
  }

  std::shared_ptr<const KindEntry> find(int group, int kind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_entries.find({group, kind});
    return it == m_entries.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex m_mutex;
  std::map<std::pair<int, int>, std::shared_ptr<const KindEntry>> m_entries;
};

// The declared layout of one field of a message kind, when the kind is registered and
// declares that field.
std::optional<SGFieldSpec> declaredField(int group, int kind, int fieldNo) {
  std::shared_ptr<const KindEntry> entry = KindRegistry::instance().find(group, kind);
  if (!entry) return std::nullopt;
  auto it = entry->fields.find(fieldNo);
  if (it == entry->fields.end()) return std::nullopt;
  return it->second;
}

std::unique_ptr<SGMessageBase> cloneMessage(const SGMessageBase& source) {
  std::unique_ptr<SGMessageBase> copy = zarezodud::makeMessage(source.group(), source.kind());
  *copy = source;
  return copy;
}

const char* typeName(SGFieldType type) {
  switch (type) {
    case SGFieldType::kInt64:
      return "int64";
    case SGFieldType::kString:
      return "string";
    case SGFieldType::kObject:
      return "object";
    case SGFieldType::kList:
      return "list";
  }
  return "?";
}

std::optional<SGFieldType> typeFromName(const std::string& name) {
  if (name == "int64") return SGFieldType::kInt64;
  if (name == "string") return SGFieldType::kString;
  if (name == "object") return SGFieldType::kObject;
  if (name == "list") return SGFieldType::kList;
  return std::nullopt;
}

// --- base64 for strings that XML cannot carry -------------------------------------------

std::string base64Encode(const std::string& bytes) {
  return zarezodud::encodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Strict decoding: white space (the XML layout) is skipped; anything that is not canonical
// base64 fails.
bool base64Decode(const std::string& text, std::string* bytes) {
  std::string clean;
  for (char c : text) {
    if (!isXmlSpace(c)) clean += c;
  }
  std::vector<unsigned char> decoded;
  if (!zarezodud::decodeBase64(clean, &decoded)) return false;
  bytes->assign(decoded.begin(), decoded.end());
  return true;
}

// XML 1.0 cannot carry control characters other than tab, line feed and carriage return.
bool needsBase64(const std::string& text) {
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
  }
  return false;
}

bool isBlank(const char* text) {
  for (; *text; ++text) {
    if (!isXmlSpace(*text)) return false;
  }
  return true;
}

// Strict decimal integer with optional surrounding XML white space.
template <typename Int>
bool parseInteger(const char* text, Int* value) {
  std::string s(text);
  std::size_t b = 0, e = s.size();
  while (b < e && isXmlSpace(s[b])) ++b;
  while (e > b && isXmlSpace(s[e - 1])) --e;
  if (b == e) return false;
  const char* first = s.data() + b;
  const char* last = s.data() + e;
  Int parsed{};
  auto result = std::from_chars(first, last, parsed);
  if (result.ec != std::errc() || result.ptr != last) return false;
  *value = parsed;
  return true;
}

}  // namespace

// --- field storage -------------------------------------------------------------------------

struct SGMessageField {
  SGFieldType type = SGFieldType::kInt64;
  int64_t number = 0;
  std::string text;
  std::unique_ptr<SGMessageBase> object;
  std::unique_ptr<SGMessageList> list;

  SGMessageField() = default;
  SGMessageField(SGMessageField&&) = default;
  SGMessageField& operator=(SGMessageField&&) = default;
  SGMessageField(const SGMessageField& other) : type(other.type), number(other.number), text(other.text) {
    if (other.object) object = cloneMessage(*other.object);
    if (other.list) list = std::make_unique<SGMessageList>(*other.list);
  }
};

struct SGMessageBase::Fields {
  std::map<int, SGMessageField> byNumber;
};

// Internal access to the private parts of messages and lists, for this file only.
struct SGMessageAccess {
  static std::map<int, SGMessageField>& fields(SGMessageBase& m) { return m.m_fields->byNumber; }
  static const std::map<int, SGMessageField>& fields(const SGMessageBase& m) { return m.m_fields->byNumber; }
  static void restrictList(SGMessageList& list, int group, int kind) {
    list.m_hasElementKind = true;
    list.m_elementGroup = group;
    list.m_elementKind = kind;
  }
  static void push(SGMessageList& list, std::unique_ptr<SGMessageBase> item) {
    list.m_items.push_back(std::move(item));
  }
};

namespace zarezodud {

void registerMessageKind(int group, int kind, SGMessageFactory factory, std::vector<SGFieldSpec> fields) {
  KindRegistry::instance().add(group, kind, factory, std::move(fields));
}

std::unique_ptr<SGMessageBase> makeMessage(int group, int kind) {
  std::shared_ptr<const KindEntry> entry = KindRegistry::instance().find(group, kind);
  if (entry && entry->factory) {
    std::unique_ptr<SGMessageBase> made = entry->factory();
    if (made && made->group() == group && made->kind() == kind) return made;
  }
  return std::make_unique<SGMessageBase>(group, kind);
}

}  // namespace zarezodud

// --- SGMessageBase -------------------------------------------------------------------------

SGMessageBase::SGMessageBase(int group, int kind)
    : m_group(group), m_kind(kind), m_fields(std::make_unique<Fields>()) {}

SGMessageBase::SGMessageBase(const SGMessageBase& other)
    : m_group(other.m_group), m_kind(other.m_kind), m_fields(std::make_unique<Fields>(*other.m_fields)) {}

SGMessageBase& SGMessageBase::operator=(const SGMessageBase& other) {
  if (this != &other) {
    // Copy first: other may be nested inside this message.
    auto copy = std::make_unique<Fields>(*other.m_fields);
    m_group = other.m_group;
    m_kind = other.m_kind;
    m_fields = std::move(copy);
  }
  return *this;
}

SGMessageBase::~SGMessageBase() = default;

bool SGMessageBase::hasField(int fieldNo) const { return m_fields->byNumber.count(fieldNo) != 0; }

void SGMessageBase::clearField(int fieldNo) { m_fields->byNumber.erase(fieldNo); }

int64_t SGMessageBase::getint64(int fieldNo, int, int) const {
  auto it = m_fields->byNumber.find(fieldNo);
  if (it == m_fields->byNumber.end() || it->second.type != SGFieldType::kInt64) return 0;
  return it->second.number;
}

void SGMessageBase::setint64(int, int fieldNo, int64_t value, int, int) {
  SGMessageField field;
  field.type = SGFieldType::kInt64;
  field.number = value;
  m_fields->byNumber[fieldNo] = std::move(field);
}

std::string SGMessageBase::getstring(int, int fieldNo, int, int) const {
  auto it = m_fields->byNumber.find(fieldNo);
  if (it == m_fields->byNumber.end() || it->second.type != SGFieldType::kString) return std::string();
  return it->second.text;
}

std::string& SGMessageBase::getstringByRef(int, int fieldNo, int, int) {
  SGMessageField& field = m_fields->byNumber[fieldNo];
  if (field.type != SGFieldType::kString) {
    field = SGMessageField();
    field.type = SGFieldType::kString;
  }
  return field.text;
}

void SGMessageBase::setstring(int, int fieldNo, const std::string& text, int, int) {
  SGMessageField field;
  field.type = SGFieldType::kString;
  field.text = text;
  m_fields->byNumber[fieldNo] = std::move(field);
}

SGMessageBase* SGMessageBase::getObjectAccessor(bool, bool create, int, int fieldNo, int, int, int group,
                                                int kind) {
  if (std::optional<SGFieldSpec> declared = declaredField(m_group, m_kind, fieldNo)) {
    if (declared->type != SGFieldType::kObject || declared->group != group || declared->kind != kind) return nullptr;
  }
  auto it = m_fields->byNumber.find(fieldNo);
  if (it != m_fields->byNumber.end() && it->second.type == SGFieldType::kObject && it->second.object &&
      it->second.object->group() == group && it->second.object->kind() == kind) {
    return it->second.object.get();
  }
  if (!create) return nullptr;
  SGMessageField field;
  field.type = SGFieldType::kObject;
  field.object = zarezodud::makeMessage(group, kind);
  SGMessageField& stored = m_fields->byNumber[fieldNo] = std::move(field);
  return stored.object.get();
}

const SGMessageBase* SGMessageBase::getObjectAccessor(int, int fieldNo, int, int, int group, int kind) const {
  auto it = m_fields->byNumber.find(fieldNo);
  if (it == m_fields->byNumber.end() || it->second.type != SGFieldType::kObject || !it->second.object) {
    return nullptr;
  }
  const SGMessageBase* nested = it->second.object.get();
  return nested->group() == group && nested->kind() == kind ? nested : nullptr;
}

SGMessageBase* SGMessageBase::setObjectAccessor(const SGMessageBase* record, int, int fieldNo, int, int) {
  if (record == nullptr) {
    auto it = m_fields->byNumber.find(fieldNo);
    if (it != m_fields->byNumber.end() && it->second.type == SGFieldType::kObject)
      m_fields->byNumber.erase(it);
    return nullptr;
  }
  if (std::optional<SGFieldSpec> declared = declaredField(m_group, m_kind, fieldNo)) {
    if (declared->type != SGFieldType::kObject || declared->group != record->group() ||
        declared->kind != record->kind()) {
      return nullptr;
    }
  }
  // Copy before replacing: record may be the nested record being replaced, or inside it.
  SGMessageField field;
  field.type = SGFieldType::kObject;
  field.object = cloneMessage(*record);
  SGMessageField& stored = m_fields->byNumber[fieldNo] = std::move(field);
  return stored.object.get();
}

SGMessageList* SGMessageBase::getlistobject(int, int fieldNo, int, int, bool forWriting) {
  auto it = m_fields->byNumber.find(fieldNo);
  if (it != m_fields->byNumber.end() && it->second.type == SGFieldType::kList) return it->second.list.get();
  if (!forWriting) return nullptr;
  std::optional<SGFieldSpec> declared = declaredField(m_group, m_kind, fieldNo);
  if (declared && declared->type != SGFieldType::kList) return nullptr;
  SGMessageField field;
  field.type = SGFieldType::kList;
  field.list = std::make_unique<SGMessageList>();
  if (declared) SGMessageAccess::restrictList(*field.list, declared->group, declared->kind);
  SGMessageField& stored = m_fields->byNumber[fieldNo] = std::move(field);
  return stored.list.get();
}

const SGMessageList* SGMessageBase::getlistobject(int, int fieldNo, int, int) const {
  auto it = m_fields->byNumber.find(fieldNo);
  if (it == m_fields->byNumber.end() || it->second.type != SGFieldType::kList) return nullptr;
  return it->second.list.get();
}

// --- SGMessageList -------------------------------------------------------------------------

SGMessageList::SGMessageList() = default;

SGMessageList::SGMessageList(const SGMessageList& other)
    : m_hasElementKind(other.m_hasElementKind),
      m_elementGroup(other.m_elementGroup),
      m_elementKind(other.m_elementKind) {
  m_items.reserve(other.m_items.size());
  for (const auto& item : other.m_items) m_items.push_back(cloneMessage(*item));
}

SGMessageList& SGMessageList::operator=(const SGMessageList& other) {
  if (this != &other) {
    SGMessageList copy(other);
    m_items.swap(copy.m_items);
    m_hasElementKind = other.m_hasElementKind;
    m_elementGroup = other.m_elementGroup;
    m_elementKind = other.m_elementKind;
  }
  return *this;
}

SGMessageList::~SGMessageList() = default;

SGMessageBase& SGMessageList::at(std::size_t index) { return *m_items.at(index); }

const SGMessageBase& SGMessageList::at(std::size_t index) const { return *m_items.at(index); }

SGMessageBase* SGMessageList::append(const SGMessageBase& record) {
  if (m_hasElementKind && (record.group() != m_elementGroup || record.kind() != m_elementKind))
    return nullptr;
  m_items.push_back(cloneMessage(record));
  return m_items.back().get();
}

void SGMessageList::clear() { m_items.clear(); }

// --- XML form ------------------------------------------------------------------------------

namespace {

void writeMessage(pugi::xml_node parent, const SGMessageBase& message) {
  pugi::xml_node node = parent.append_child("message");
  node.append_attribute("group").set_value(message.group());
  node.append_attribute("kind").set_value(message.kind());
  for (const auto& [number, field] : SGMessageAccess::fields(message)) {
    pugi::xml_node f = node.append_child("field");
    f.append_attribute("number").set_value(number);
    f.append_attribute("type").set_value(typeName(field.type));
    switch (field.type) {
      case SGFieldType::kInt64:
        f.append_child(pugi::node_pcdata).set_value(std::to_string(field.number).c_str());
        break;
      case SGFieldType::kString:
        if (needsBase64(field.text)) {
          f.append_attribute("encoding").set_value("base64");
          f.append_child(pugi::node_pcdata).set_value(base64Encode(field.text).c_str());
        } else if (!field.text.empty()) {
          f.append_child(pugi::node_pcdata).set_value(field.text.c_str());
        }
        break;
      case SGFieldType::kObject:
        if (field.object) writeMessage(f, *field.object);
        break;
      case SGFieldType::kList:
        if (field.list) {
          for (std::size_t i = 0; i < field.list->size(); ++i) writeMessage(f, field.list->at(i));
        }
        break;
    }
  }
}

class MessageReader {
 public:
  explicit MessageReader(std::string* error) : m_error(error) {}

  // Reads the group and kind of a <message> element.
  bool readHeader(pugi::xml_node node, int* group, int* kind) {
    if (std::string(node.name()) != "message") {
      return fail("expected element <message>, found <" + std::string(node.name()) + ">");
    }
    bool haveGroup = false, haveKind = false;
    for (pugi::xml_attribute a : node.attributes()) {
      std::string name = a.name();
      if (name == "group" && !haveGroup) {
        if (!parseInteger(a.value(), group))
          return fail("bad message group \"" + std::string(a.value()) + "\"");
        haveGroup = true;
      } else if (name == "kind" && !haveKind) {
        if (!parseInteger(a.value(), kind))
          return fail("bad message kind \"" + std::string(a.value()) + "\"");
        haveKind = true;
      } else {
        return fail("unexpected attribute \"" + name + "\" on <message>");
      }
    }
    if (!haveGroup || !haveKind) return fail("<message> needs the attributes group and kind");
    return true;
  }

  // Fills target's fields from the children of a <message> element at the given depth.
  bool readFields(pugi::xml_node node, int depth, SGMessageBase& target) {
    const std::string where =
        "message " + std::to_string(target.group()) + "/" + std::to_string(target.kind());
    std::map<int, SGMessageField> fields;
    for (pugi::xml_node child : node.children()) {
      if (isIgnorableText(child)) continue;
      if (child.type() != pugi::node_element || std::string(child.name()) != "field") {
        return fail(where + ": unexpected content " + describe(child));
      }
      int number = 0;
      SGMessageField field;
      if (!readField(child, depth, target, where, &number, &field)) return false;
      if (!fields.emplace(number, std::move(field)).second) {
        return fail(where + ": field " + std::to_string(number) + " appears twice");
      }
    }
    // Lists of a registered kind keep their element restriction even when empty.
    for (auto& [number, field] : fields) {
      if (field.type != SGFieldType::kList) continue;
      if (std::optional<SGFieldSpec> declared = declaredField(target.group(), target.kind(), number)) {
        SGMessageAccess::restrictList(*field.list, declared->group, declared->kind);
      }
    }
    SGMessageAccess::fields(target) = std::move(fields);
    return true;
  }

 private:
  bool readField(pugi::xml_node node, int depth, const SGMessageBase& parent, const std::string& where,
                 int* number, SGMessageField* field) {
    bool haveNumber = false;
    std::optional<SGFieldType> type;
    std::string encoding;
    bool haveEncoding = false;
    for (pugi::xml_attribute a : node.attributes()) {
      std::string name = a.name();
      if (name == "number" && !haveNumber) {
        if (!parseInteger(a.value(), number) || *number < 1) {
          return fail(where + ": bad field number \"" + std::string(a.value()) + "\"");
        }
        haveNumber = true;
      } else if (name == "type" && !type) {
        type = typeFromName(a.value());
        if (!type) return fail(where + ": unknown field type \"" + std::string(a.value()) + "\"");
      } else if (name == "encoding" && !haveEncoding) {
        encoding = a.value();
        haveEncoding = true;
      } else {
        return fail(where + ": unexpected attribute \"" + name + "\" on <field>");
      }
    }
    if (!haveNumber || !type) return fail(where + ": <field> needs the attributes number and type");
    const std::string at = where + ", field " + std::to_string(*number);
    if (haveEncoding && (*type != SGFieldType::kString || encoding != "base64")) {
      return fail(at + ": unsupported encoding \"" + encoding + "\"");
    }
    std::optional<SGFieldSpec> declared = declaredField(parent.group(), parent.kind(), *number);
    if (declared && declared->type != *type) {
      return fail(at + ": declared as " + typeName(declared->type) + ", found " + typeName(*type));
    }
    field->type = *type;
    switch (*type) {
      case SGFieldType::kInt64: {
        std::string text;
        if (!readText(node, at, &text)) return false;
        if (!parseInteger(text.c_str(), &field->number))
          return fail(at + ": bad int64 value \"" + text + "\"");
        return true;
      }
      case SGFieldType::kString: {
        std::string text;
        if (!readText(node, at, &text)) return false;
        if (haveEncoding) {
          if (!base64Decode(text, &field->text)) return fail(at + ": bad base64 text");
        } else {
          field->text = std::move(text);
        }
        return true;
      }
      case SGFieldType::kObject:
      case SGFieldType::kList: {
        field->list = *type == SGFieldType::kList ? std::make_unique<SGMessageList>() : nullptr;
        for (pugi::xml_node child : node.children()) {
          if (isIgnorableText(child)) continue;
          if (child.type() != pugi::node_element) return fail(at + ": unexpected content " + describe(child));
          if (*type == SGFieldType::kObject && field->object)
            return fail(at + ": object holds more than one message");
          std::unique_ptr<SGMessageBase> nested;
          if (!readNested(child, depth + 1, declared, at, &nested)) return false;
          if (*type == SGFieldType::kObject) {
            field->object = std::move(nested);
          } else {
            SGMessageAccess::push(*field->list, std::move(nested));
          }
        }
        if (*type == SGFieldType::kObject && !field->object) return fail(at + ": object holds no message");
        return true;
      }
    }
    return fail(at + ": unknown field type");
  }

  bool readNested(pugi::xml_node node, int depth, const std::optional<SGFieldSpec>& declared,
                  const std::string& at, std::unique_ptr<SGMessageBase>* out) {
    if (depth > SGMessageBase::kMaxDepth) {
      return fail(at + ": messages nested deeper than " + std::to_string(SGMessageBase::kMaxDepth) +
                  " levels");
    }
    int group = 0, kind = 0;
    if (!readHeader(node, &group, &kind)) return false;
    if (declared && (declared->group != group || declared->kind != kind)) {
      return fail(at + ": holds message " + std::to_string(group) + "/" + std::to_string(kind) +
                  ", expected " + std::to_string(declared->group) + "/" + std::to_string(declared->kind));
    }
    std::unique_ptr<SGMessageBase> nested = zarezodud::makeMessage(group, kind);
    if (!readFields(node, depth, *nested)) return false;
    *out = std::move(nested);
    return true;
  }

  bool readText(pugi::xml_node node, const std::string& at, std::string* text) {
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) {
        return fail(at + ": unexpected content " + describe(child));
      }
      *text += child.value();
    }
    return true;
  }

  static bool isIgnorableText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata && isBlank(node.value());
  }

  static std::string describe(pugi::xml_node node) {
    if (node.type() == pugi::node_element) return "<" + std::string(node.name()) + ">";
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return "text";
    return "node";
  }

  bool fail(const std::string& message) {
    if (m_error) *m_error = message;
    return false;
  }

  std::string* m_error;
};

}  // namespace

std::string SGMessageBase::serialize() const {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version").set_value("1.0");
  decl.append_attribute("encoding").set_value("UTF-8");
  writeMessage(doc, *this);
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  return out.str();
}

bool SGMessageBase::unserialize(const std::string& xml, std::string* error) {
  // Line ends are kept as they are so that stored strings read back unchanged; white space
  // that is the only content of an element is kept so that a blank string survives.
  // Fragment mode keeps text outside the top element, so that it can be refused.
  const unsigned int options =
      (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single | pugi::parse_fragment;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8);
  if (!parsed) {
    if (error) {
      *error = std::string("malformed XML at offset ") + std::to_string(parsed.offset) + ": " +
               parsed.description();
    }
    return false;
  }
  MessageReader reader(error);
  pugi::xml_node top;
  for (pugi::xml_node child : doc.children()) {
    if (child.type() == pugi::node_pcdata && isBlank(child.value())) continue;
    if (child.type() != pugi::node_element || top) {
      if (error) *error = "the document must hold exactly one <message> element";
      return false;
    }
    top = child;
  }
  if (!top) {
    if (error) *error = "the document holds no <message> element";
    return false;
  }
  int group = 0, kind = 0;
  if (!reader.readHeader(top, &group, &kind)) return false;
  if (group != m_group || kind != m_kind) {
    if (error) {
      *error = "expected message " + std::to_string(m_group) + "/" + std::to_string(m_kind) + ", found " +
               std::to_string(group) + "/" + std::to_string(kind);
    }
    return false;
  }
  SGMessageBase read(m_group, m_kind);
  if (!reader.readFields(top, 1, read)) return false;
  m_fields.swap(read.m_fields);
  return true;
}
