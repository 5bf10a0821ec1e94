#include <charconv>
#include <ostream>
#include <string_view>

#include "platform/crypto/base64.h"
#include "platform/messaging/sg_message_fields.h"
#include "platform/messaging/sg_message_xml.h"

namespace zarezodud {
namespace {

constexpr std::size_t kFlushSize = std::size_t{64} * 1024;

// XML 1.0 cannot carry control characters other than tab, line feed and carriage return;
// such text is written as base64.
bool needsBase64(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
  }
  return false;
}

// Writes the text form element by element into a buffer that is handed to the stream (when
// there is one) whenever it grows past kFlushSize.
class XmlWriter {
 public:
  XmlWriter(std::string& buffer, std::ostream* stream) : m_out(buffer), m_stream(stream) {}

  void document(const SGMessageBase& message) {
    m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    writeMessage(message, 0);
    flush();
  }

  void flush() {
    if (m_stream == nullptr || m_out.empty()) return;
    m_stream->write(m_out.data(), static_cast<std::streamsize>(m_out.size()));
    m_out.clear();
  }

 private:
  void indent(int depth) { m_out.append(static_cast<std::size_t>(depth) * 2, ' '); }

  void number(long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    m_out.append(digits, static_cast<std::size_t>(result.ptr - digits));
  }

  // Character data: the markup characters become entity references; every other byte,
  // including tab, line ends and bytes that are not UTF-8, is written as it is.
  void text(std::string_view value) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const char* entity = nullptr;
      switch (value[i]) {
        case '&':
          entity = "&amp;";
          break;
        case '<':
          entity = "&lt;";
          break;
        case '>':
          entity = "&gt;";
          break;
        default:
          continue;
      }
      m_out.append(value.data() + plain, i - plain);
      m_out += entity;
      plain = i + 1;
    }
    m_out.append(value.data() + plain, value.size() - plain);
  }

  void writeMessage(const SGMessageBase& message, int depth) {
    if (m_out.size() >= kFlushSize) flush();
    indent(depth);
    m_out += "<message group=\"";
    number(message.group());
    m_out += "\" kind=\"";
    number(message.kind());
    const SGMessageBase::Fields* fields = SGMessageAccess::fields(message);
    if (fields == nullptr || fields->count == 0) {
      m_out += "\" />\n";
      return;
    }
    m_out += "\">\n";
    for (const SGField& field : *fields) writeField(field, depth + 1);
    indent(depth);
    m_out += "</message>\n";
  }

  void writeField(const SGField& field, int depth) {
    indent(depth);
    m_out += "<field number=\"";
    number(field.number);
    m_out += "\" type=\"";
    m_out += xmlTypeName(field.type);
    m_out += '"';
    switch (field.type) {
      case SGFieldType::kInt64:
        m_out += '>';
        number(field.integer);
        break;
      case SGFieldType::kString: {
        const std::string_view value = field.textView();
        if (needsBase64(value)) {
          m_out += " encoding=\"base64\">";
          m_out += encodeBase64(reinterpret_cast<const unsigned char*>(value.data()), value.size());
        } else if (value.empty()) {
          m_out += " />\n";
          return;
        } else {
          m_out += '>';
          text(value);
        }
        break;
      }
      case SGFieldType::kObject:
        m_out += ">\n";
        writeMessage(*field.object, depth + 1);
        indent(depth);
        break;
      case SGFieldType::kList:
        if (field.list->empty()) {
          m_out += " />\n";
          return;
        }
        m_out += ">\n";
        for (std::size_t i = 0; i < field.list->size(); ++i) writeMessage(field.list->at(i), depth + 1);
        indent(depth);
        break;
    }
    m_out += "</field>\n";
  }

  std::string& m_out;
  std::ostream* m_stream;
};

}  // namespace

const char* xmlTypeName(SGFieldType type) {
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

void writeMessageXml(const SGMessageBase& message, std::string& out) {
  XmlWriter(out, nullptr).document(message);
}

void writeMessageXml(const SGMessageBase& message, std::ostream& out) {
  std::string buffer;
  buffer.reserve(kFlushSize + 4096);
  XmlWriter(buffer, &out).document(message);
}

}  // namespace zarezodud

std::string SGMessageBase::serialize() const {
  std::string out;
  zarezodud::writeMessageXml(*this, out);
  return out;
}

void SGMessageBase::serialize(std::ostream& out) const { zarezodud::writeMessageXml(*this, out); }
