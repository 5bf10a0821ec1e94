#include "engine/journal_record.h"
#include "base/numbers.h"
#include "base/errno_text.h"

#include <errno.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace zarezodud {

namespace {

constexpr size_t kPrefixLength = 19;  // "J" + 8 hex + " " + 8 hex + " "
// No record of this system comes near it; a larger length is damage, not a record.
constexpr uint32_t kMaxPayload = 1u << 24;

std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    table[i] = crc;
  }
  return table;
}

const char kHex[] = "0123456789abcdef";

void appendHex8(std::string& out, uint32_t value) {
  for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

bool parseHex8(std::string_view text, uint32_t& value) {
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return true;
}

void appendEscaped(std::string& out, const std::string& value) {
  for (char c : value) {
    const unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          out += "\\x";
          out += kHex[u >> 4];
          out += kHex[u & 0xF];
        } else {
          out += c;
        }
    }
  }
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        if (text.size() - i < 3) return false;
        uint32_t byte = 0;
        if (!parseHex8(text.substr(i + 1, 2), byte)) return false;
        out += static_cast<char>(byte);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

uint32_t crc32cPortable(std::string_view data) {
  static const std::array<uint32_t, 256> table = makeCrcTable();
  uint32_t crc = 0xFFFFFFFFu;
  for (char c : data) crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The processor's own CRC-32C instruction (SSE 4.2), eight bytes at a time: every record is
// checksummed when written and when read, so this is on every script's path.
__attribute__((target("sse4.2"))) uint32_t crc32cByInstruction(std::string_view data) {
  uint64_t crc = 0xFFFFFFFFu;
  const char* p = data.data();
  size_t left = data.size();
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    crc = __builtin_ia32_crc32di(crc, word);
  }
  uint32_t crc32 = static_cast<uint32_t>(crc);
  for (; left > 0; ++p, --left) crc32 = __builtin_ia32_crc32qi(crc32, static_cast<unsigned char>(*p));
  return crc32 ^ 0xFFFFFFFFu;
}
#endif

}  // namespace

uint32_t crc32c(std::string_view data) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  static const bool hardware = __builtin_cpu_supports("sse4.2");
  if (hardware) return crc32cByInstruction(data);
#endif
  return crc32cPortable(data);
}

JournalRecord& JournalRecord::add(std::string name, std::string value) {
  m_fields.emplace_back(std::move(name), std::move(value));
  return *this;
}

JournalRecord& JournalRecord::add(std::string name, int64_t value) {
  return add(std::move(name), std::to_string(value));
}

const std::string* JournalRecord::find(std::string_view name) const {
  for (const auto& field : m_fields) {
    if (field.first == name) return &field.second;
  }
  return nullptr;
}

std::string JournalRecord::text(std::string_view name) const {
  const std::string* value = find(name);
  return value ? *value : std::string();
}

int64_t JournalRecord::number(std::string_view name, int64_t fallback) const {
  const std::string* value = find(name);
  if (value == nullptr || value->empty()) return fallback;
  int64_t result = 0;
  return zarezodud::parseDecimal(*value, -INT64_MAX, INT64_MAX, result) ? result : fallback;
}

std::string JournalRecord::encode() const {
  std::string payload = "t=";
  appendEscaped(payload, m_type);
  for (const auto& field : m_fields) {
    payload += '\t';
    payload += field.first;
    payload += '=';
    appendEscaped(payload, field.second);
  }
  std::string out;
  out.reserve(kPrefixLength + payload.size() + 1);
  out += 'J';
  appendHex8(out, static_cast<uint32_t>(payload.size()));
  out += ' ';
  appendHex8(out, crc32c(payload));
  out += ' ';
  out += payload;
  out += '\n';
  return out;
}

bool JournalRecord::decodePayload(std::string_view payload, JournalRecord& out) {
  JournalRecord record;
  bool first = true;
  size_t start = 0;
  for (;;) {
    const size_t tab = payload.find('\t', start);
    const std::string_view field = payload.substr(start, tab == std::string_view::npos ? tab : tab - start);
    const size_t equals = field.find('=');
    if (equals == std::string_view::npos || equals == 0) return false;
    std::string value;
    if (!unescape(field.substr(equals + 1), value)) return false;
    if (first) {
      if (field.substr(0, equals) != "t") return false;
      record.m_type = std::move(value);
      first = false;
    } else {
      record.m_fields.emplace_back(std::string(field.substr(0, equals)), std::move(value));
    }
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  out = std::move(record);
  return true;
}

bool JournalReader::fill() {
  if (m_eof) return false;
  if (m_pos > 0) {
    m_buffer.erase(0, m_pos);
    m_pos = 0;
  }
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      m_error = zarezodud::errnoMessage("cannot read", m_path, errno);
      m_eof = true;
      return false;
    }
    if (got == 0) {
      m_eof = true;
      return false;
    }
    m_buffer.append(chunk, static_cast<size_t>(got));
    return true;
  }
}

bool JournalReader::next(JournalRecord& record) {
  if (m_damaged || !m_error.empty()) return false;
  while (m_buffer.size() - m_pos < kPrefixLength) {
    if (!fill()) {
      // Leftover bytes that cannot even hold a prefix are a torn record.
      if (m_error.empty() && m_buffer.size() > m_pos) m_damaged = true;
      return false;
    }
  }
  const std::string_view head(m_buffer.data() + m_pos, kPrefixLength);
  uint32_t length = 0;
  uint32_t checksum = 0;
  if (head[0] != 'J' || head[9] != ' ' || head[18] != ' ' || !parseHex8(head.substr(1, 8), length) ||
      !parseHex8(head.substr(10, 8), checksum) || length > kMaxPayload) {
    m_damaged = true;
    return false;
  }
  const size_t total = kPrefixLength + length + 1;
  while (m_buffer.size() - m_pos < total) {
    if (!fill()) {
      if (m_error.empty()) m_damaged = true;
      return false;
    }
  }
  const std::string_view payload(m_buffer.data() + m_pos + kPrefixLength, length);
  if (m_buffer[m_pos + total - 1] != '\n' || crc32c(payload) != checksum ||
      !JournalRecord::decodePayload(payload, record)) {
    m_damaged = true;
    return false;
  }
  m_pos += total;
  m_valid += total;
  return true;
}

}  // namespace zarezodud
