#include <charconv>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/crypto/base64.h"
#include "platform/messaging/sg_message_fields.h"
#include "platform/messaging/sg_message_registry.h"
#include "platform/messaging/sg_message_xml.h"

namespace zarezodud {
namespace {

std::optional<SGFieldType> typeFromName(const std::string& name) {
  if (name == "int64") return SGFieldType::kInt64;
  if (name == "string") return SGFieldType::kString;
  if (name == "object") return SGFieldType::kObject;
  if (name == "list") return SGFieldType::kList;
  return std::nullopt;
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isBlank(const char* text) {
  for (; *text; ++text) {
    if (!isXmlSpace(*text)) return false;
  }
  return true;
}

// Strict decoding: white space (the XML layout) is skipped; anything that is not canonical
// base64 fails.
bool base64Decode(const std::string& text, std::string* bytes) {
  std::string clean;
  for (char c : text) {
    if (!isXmlSpace(c)) clean += c;
  }
  std::vector<unsigned char> decoded;
  if (!decodeBase64(clean, &decoded)) return false;
  bytes->assign(decoded.begin(), decoded.end());
  return true;
}

// Strict decimal integer with optional surrounding XML white space.
template <typename Int>
bool parseInteger(const char* text, Int* value) {
  std::string_view s(text);
  while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
  if (s.empty()) return false;
  Int parsed{};
  auto result = std::from_chars(s.data(), s.data() + s.size(), parsed);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return false;
  *value = parsed;
  return true;
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
    for (pugi::xml_node child : node.children()) {
      if (isIgnorableText(child)) continue;
      if (child.type() != pugi::node_element || std::string(child.name()) != "field") {
        return fail(where + ": unexpected content " + describe(child));
      }
      if (!readField(child, depth, target, where)) return false;
    }
    return true;
  }

 private:
  bool readField(pugi::xml_node node, int depth, SGMessageBase& parent, const std::string& where) {
    int number = 0;
    bool haveNumber = false;
    std::optional<SGFieldType> type;
    std::string encoding;
    bool haveEncoding = false;
    for (pugi::xml_attribute a : node.attributes()) {
      std::string name = a.name();
      if (name == "number" && !haveNumber) {
        if (!parseInteger(a.value(), &number) || number < 1) {
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
    const std::string at = where + ", field " + std::to_string(number);
    if (haveEncoding && (*type != SGFieldType::kString || encoding != "base64")) {
      return fail(at + ": unsupported encoding \"" + encoding + "\"");
    }
    std::optional<SGFieldSpec> declared = declaredField(parent.group(), parent.kind(), number);
    if (declared && declared->type != *type) {
      return fail(at + ": declared as " + xmlTypeName(declared->type) + ", found " + xmlTypeName(*type));
    }
    if (parent.hasField(number)) return fail(where + ": field " + std::to_string(number) + " appears twice");
    switch (*type) {
      case SGFieldType::kInt64: {
        std::string text;
        if (!readText(node, at, &text)) return false;
        int64_t value = 0;
        if (!parseInteger(text.c_str(), &value)) return fail(at + ": bad int64 value \"" + text + "\"");
        parent.setint64(0, number, value, 0, 0);
        return true;
      }
      case SGFieldType::kString: {
        std::string text;
        if (!readText(node, at, &text)) return false;
        if (haveEncoding) {
          std::string bytes;
          if (!base64Decode(text, &bytes)) return fail(at + ": bad base64 text");
          text = std::move(bytes);
        }
        parent.setstring(0, number, text, 0, 0);
        return true;
      }
      case SGFieldType::kObject:
        return readObject(node, depth, parent, number, declared, at);
      case SGFieldType::kList:
        return readList(node, depth, parent, number, declared, at);
    }
    return fail(at + ": unknown field type");
  }

  bool readObject(pugi::xml_node node, int depth, SGMessageBase& parent, int number,
                  const std::optional<SGFieldSpec>& declared, const std::string& at) {
    std::unique_ptr<SGMessageBase> nested;
    for (pugi::xml_node child : node.children()) {
      if (isIgnorableText(child)) continue;
      if (child.type() != pugi::node_element) return fail(at + ": unexpected content " + describe(child));
      if (nested) return fail(at + ": object holds more than one message");
      int group = 0, kind = 0;
      if (!readNestedHeader(child, depth + 1, declared, at, &group, &kind)) return false;
      nested = makeMessage(group, kind);
      if (!readFields(child, depth + 1, *nested)) return false;
    }
    if (!nested) return fail(at + ": object holds no message");
    SGMessageAccess::field(parent, number).setObject(nested.release());
    return true;
  }

  bool readList(pugi::xml_node node, int depth, SGMessageBase& parent, int number,
                const std::optional<SGFieldSpec>& declared, const std::string& at) {
    // Made through the accessor, so that a list of a registered kind keeps its element
    // restriction even when empty.
    SGMessageList* list = parent.getlistobject(0, number, 0, 0, true);
    if (list == nullptr) return fail(at + ": cannot hold a list");
    for (pugi::xml_node child : node.children()) {
      if (isIgnorableText(child)) continue;
      if (child.type() != pugi::node_element) return fail(at + ": unexpected content " + describe(child));
      int group = 0, kind = 0;
      if (!readNestedHeader(child, depth + 1, declared, at, &group, &kind)) return false;
      SGMessageBase* item = list->append(SGMessageBase(group, kind));
      if (item == nullptr)
        return fail(at + ": holds message " + std::to_string(group) + "/" + std::to_string(kind));
      if (!readFields(child, depth + 1, *item)) return false;
    }
    return true;
  }

  bool readNestedHeader(pugi::xml_node node, int depth, const std::optional<SGFieldSpec>& declared,
                        const std::string& at, int* group, int* kind) {
    if (depth > SGMessageBase::kMaxDepth) {
      return fail(at + ": messages nested deeper than " + std::to_string(SGMessageBase::kMaxDepth) +
                  " levels");
    }
    if (!readHeader(node, group, kind)) return false;
    if (declared && (declared->group != *group || declared->kind != *kind)) {
      return fail(at + ": holds message " + std::to_string(*group) + "/" + std::to_string(*kind) +
                  ", expected " + std::to_string(declared->group) + "/" + std::to_string(declared->kind));
    }
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

bool readMessageXml(const std::string& xml, SGMessageBase& target, std::string* error) {
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
  if (group != target.group() || kind != target.kind()) {
    if (error) {
      *error = "expected message " + std::to_string(target.group()) + "/" + std::to_string(target.kind()) +
               ", found " + std::to_string(group) + "/" + std::to_string(kind);
    }
    return false;
  }
  SGMessageBase read(group, kind);
  if (!reader.readFields(top, 1, read)) return false;
  target = std::move(read);
  return true;
}

}  // namespace zarezodud

bool SGMessageBase::unserialize(const std::string& xml, std::string* error) {
  return zarezodud::readMessageXml(xml, *this, error);
}
