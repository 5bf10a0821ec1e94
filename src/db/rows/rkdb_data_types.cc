#include "db/rows/rkdb_data_types.h"

#include <cstdio>

namespace zarezodud {

const char* const RKDB_int_format = "%d";
const char* const RKDB___int64_format = "%lld";

bool rkdbFitsInValue(const char* source, int offset, int length, std::size_t size) {
  if (offset < 0 || length < 0) return false;
  if (length > 0 && source == nullptr) return false;
  return static_cast<std::size_t>(offset) + static_cast<std::size_t>(length) <= size;
}

int RKDB_datetime::setData(const char* source, int offset, int length, bool flag) {
  static_cast<void>(flag);
  if (!rkdbFitsInValue(source, offset, length, sizeof(m_data))) return 0;
  if (length > 0) {
    std::memcpy(reinterpret_cast<char*>(&m_data) + offset, source, static_cast<std::size_t>(length));
  }
  setChanged(false);
  setString();
  return 1;
}

void RKDB_datetime::setString() const {
  char buffer[100];
  std::snprintf(buffer, sizeof(buffer), "%04d-%02u-%02u %02u:%02u:%02u.%03u", static_cast<int>(m_data.year),
                static_cast<unsigned>(m_data.month), static_cast<unsigned>(m_data.day),
                static_cast<unsigned>(m_data.hour), static_cast<unsigned>(m_data.minute),
                static_cast<unsigned>(m_data.second), static_cast<unsigned>(m_data.fraction / 1000000u));
  setTextForm(buffer);
}

void RKDB_datetime::setValue(const RKTIMESTAMP_STRUCT& ts) {
  m_data = ts;
  markSetByProgram();
  setString();
}

// clone() copies the base's fields as well as the value, so the base is default-constructed.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
RKDB_string::RKDB_string(const RKDB_string& other) : RKDBCompositeType() { clone(&other); }

RKDB_string::~RKDB_string() = default;

int RKDB_string::setData(const char* source, int offset, int length, bool flag) {
  if (offset < 0 || length < 0 || (length > 0 && source == nullptr)) return 0;
  if (static_cast<std::size_t>(offset) > m_data.size()) return 0;
  std::size_t count = static_cast<std::size_t>(length);
  if (flag && count > 0) {
    const void* nul = std::memchr(source, '\0', count);
    if (nul != nullptr) count = static_cast<std::size_t>(static_cast<const char*>(nul) - source);
  }
  m_data.resize(static_cast<std::size_t>(offset));
  if (count > 0) m_data.append(source, count);
  setChanged(false);
  setString();
  return 1;
}

void RKDB_string::clearMemoryOnNULL() {
  std::string().swap(m_data);
  setString();
}

void RKDB_string::setString() const { setTextForm(m_data); }

void RKDB_string::setValue(const std::string& text) {
  m_data = text;
  markSetByProgram();
  setString();
}

}  // namespace zarezodud
