// The framing of one run-journal record and the reading of a journal file record by record.
//
// A record is one line: "J", the payload's length in bytes (8 lower-case hexadecimal digits), a
// space, the CRC-32C of the payload (8 hexadecimal digits), a space, the payload and a line
// feed. The payload is a list of fields "name=value" separated by tabs, the first one
// "t=<record type>"; in values a backslash, tab, line feed, carriage return and every other
// control byte are escaped ("\\", "\t", "\n", "\r", "\xHH"), so the payload never holds a raw
// tab or line feed. A record whose prefix, length, checksum or final line feed does not hold
// is damaged: reading stops there, and everything from it on is ignored (a record torn by a
// crash in the middle of its write is always the last one of the file).
//
// Thread-safety: values and stateless functions; a JournalReader belongs to one thread.
#ifndef ZAREZODUD_ENGINE_JOURNAL_RECORD_H
#define ZAREZODUD_ENGINE_JOURNAL_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarezodud {

// CRC-32C (Castagnoli) of data, with the processor's CRC instruction where there is one.
uint32_t crc32c(std::string_view data);
// The same computed by table, as on processors without the instruction.
uint32_t crc32cPortable(std::string_view data);

class JournalRecord {
 public:
  JournalRecord() = default;
  explicit JournalRecord(std::string type) : m_type(std::move(type)) {}

  const std::string& type() const { return m_type; }
  // Appends a field; names are plain words without '=' or control characters.
  JournalRecord& add(std::string name, std::string value);
  JournalRecord& add(std::string name, int64_t value);
  // The first value of the field name, or null.
  const std::string* find(std::string_view name) const;
  std::string text(std::string_view name) const;
  // The first value of name as a number; fallback when absent or not a number.
  int64_t number(std::string_view name, int64_t fallback) const;
  // Every field after the type, in order.
  const std::vector<std::pair<std::string, std::string>>& fields() const { return m_fields; }

  // The framed record, line feed included.
  std::string encode() const;
  // Parses one payload (without framing). False when it does not start with "t=" or holds a
  // field without '=' or a bad escape.
  static bool decodePayload(std::string_view payload, JournalRecord& out);

 private:
  std::string m_type;
  std::vector<std::pair<std::string, std::string>> m_fields;
};

// Reads the records of a journal file from its start, in chunks.
class JournalReader {
 public:
  // fd: open for reading at offset 0, not owned.
  JournalReader(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

  // The next intact record. False at the end of the intact records: at the end of the file
  // (damaged() false), at a damaged record (damaged() true) or on a read error (error() set).
  bool next(JournalRecord& record);
  // Bytes of the file up to and including the last intact record returned.
  uint64_t validBytes() const { return m_valid; }
  bool damaged() const { return m_damaged; }
  const std::string& error() const { return m_error; }

 private:
  bool fill();

  int m_fd;
  std::string m_path;
  std::string m_buffer;
  size_t m_pos = 0;
  uint64_t m_valid = 0;
  bool m_eof = false;
  bool m_damaged = false;
  std::string m_error;
};

}  // namespace zarezodud

#endif
