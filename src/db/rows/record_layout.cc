#include "db/rows/record_layout.h"
#include "base/numbers.h"

#include <cstring>

#include "db/rows/record_text.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_data_types.h"

namespace zarezodud {
namespace {

std::size_t alignUp(std::size_t offset, std::size_t alignment) {
  return (offset + alignment - 1) / alignment * alignment;
}

bool parseSize(const std::string& digits, std::size_t& size) {
  std::uint64_t value = 0;
  if (!parseUnsigned(digits, 999999999, value) || value == 0) return false;
  size = static_cast<std::size_t>(value);
  return true;
}

bool isCleared(const RKTIMESTAMP_STRUCT& ts) { return ts == RKTIMESTAMP_STRUCT{}; }

}  // namespace

RecordLayout::RecordLayout(const std::string& schema) {
  std::size_t offset = 0;
  std::size_t maxAlign = 1;
  std::size_t start = 0;
  while (start < schema.size()) {
    std::size_t bar = schema.find('|', start);
    if (bar == std::string::npos) bar = schema.size();
    const std::string code = schema.substr(start, bar - start);
    start = bar + 1;
    Field field{Kind::kInt32, 0, 0};
    std::size_t alignment = 1;
    if (code == "i") {
      field = Field{Kind::kInt32, 0, sizeof(int)};
      alignment = alignof(int);
    } else if (code == "b" || code == "x") {
      field = Field{Kind::kInt64, 0, sizeof(long long)};
      alignment = alignof(long long);
    } else if (code == "t") {
      field = Field{Kind::kDateTime, 0, sizeof(DB_DATETIME)};
      alignment = alignof(DB_DATETIME);
    } else if (code == "s") {
      field = Field{Kind::kHeapText, 0, sizeof(char*)};
      alignment = alignof(char*);
    } else if (!code.empty() && (code[0] == 's' || code[0] == 'u') && parseSize(code.substr(1), field.size)) {
      field.kind = Kind::kText;
    } else {
      m_error = "Unknown column code [" + code + "] in schema [" + schema + "].";
      m_fields.clear();
      m_size = 0;
      return;
    }
    offset = alignUp(offset, alignment);
    field.offset = offset;
    offset += field.size;
    if (alignment > maxAlign) maxAlign = alignment;
    m_fields.push_back(field);
  }
  m_size = alignUp(offset, maxAlign);
}

void RecordLayout::valuesToRecord(const std::vector<RKDBDataTypeBase*>& values, void* record) const {
  if (record == nullptr || values.size() != m_fields.size()) return;
  char* base = static_cast<char*>(record);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    const Field& field = m_fields[i];
    const RKDBDataTypeBase* value = values[i];
    if (value == nullptr) continue;
    char* at = base + field.offset;
    const bool isNull = value->isNull();
    switch (field.kind) {
      case Kind::kInt32: {
        const auto* typed = dynamic_cast<const RKDB_int*>(value);
        int number = (typed != nullptr && !isNull) ? typed->getData() : 0;
        std::memcpy(at, &number, sizeof number);
        break;
      }
      case Kind::kInt64: {
        const auto* typed = dynamic_cast<const RKDB___int64*>(value);
        long long number = (typed != nullptr && !isNull) ? typed->getData() : 0;
        std::memcpy(at, &number, sizeof number);
        break;
      }
      case Kind::kDateTime: {
        auto* date = reinterpret_cast<DB_DATETIME*>(at);
        const auto* typed = dynamic_cast<const RKDB_datetime*>(value);
        if (typed == nullptr || isNull) {
          date->clear();
        } else {
          *date = typed->getData();
        }
        break;
      }
      case Kind::kText:
        copyRecordText(at, field.size, isNull ? "" : value->getStr().c_str());
        break;
      case Kind::kHeapText: {
        char*& text = *reinterpret_cast<char**>(at);
        replaceRecordHeapText(text, isNull ? nullptr : value->getStr().c_str());
        break;
      }
    }
  }
}

void RecordLayout::recordToValues(const void* record, const std::vector<RKDBDataTypeBase*>& values) const {
  if (record == nullptr || values.size() != m_fields.size()) return;
  const char* base = static_cast<const char*>(record);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    const Field& field = m_fields[i];
    RKDBDataTypeBase* value = values[i];
    if (value == nullptr) continue;
    const char* at = base + field.offset;
    switch (field.kind) {
      case Kind::kInt32:
        if (auto* typed = dynamic_cast<RKDB_int*>(value)) {
          int number = 0;
          std::memcpy(&number, at, sizeof number);
          typed->setValue(number);
        }
        break;
      case Kind::kInt64:
        if (auto* typed = dynamic_cast<RKDB___int64*>(value)) {
          long long number = 0;
          std::memcpy(&number, at, sizeof number);
          typed->setValue(number);
        }
        break;
      case Kind::kDateTime:
        if (auto* typed = dynamic_cast<RKDB_datetime*>(value)) {
          const auto* date = reinterpret_cast<const DB_DATETIME*>(at);
          if (isCleared(date->timestamp)) {
            typed->setInternalNull(true);
          } else {
            typed->setValue(date->timestamp);
          }
        }
        break;
      case Kind::kText:
        if (auto* typed = dynamic_cast<RKDB_string*>(value)) {
          const void* end = std::memchr(at, '\0', field.size);
          const std::size_t length =
              end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - at) : field.size;
          typed->setValue(std::string(at, length));
        }
        break;
      case Kind::kHeapText:
        if (auto* typed = dynamic_cast<RKDB_string*>(value)) {
          const char* text = *reinterpret_cast<char* const*>(at);
          if (text == nullptr) {
            typed->setInternalNull(true);
          } else {
            typed->setValue(text);
          }
        }
        break;
    }
  }
}

}  // namespace zarezodud
