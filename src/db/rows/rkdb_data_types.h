// The column value types of the table layer: 32-bit and 64-bit integers (RKDBPrimitiveType),
// date-time (RKDB_datetime) and text (RKDB_string), all RKDBDataTypeBase objects. A row object
// holds one per column; the connection service fills them when it fetches a row and reads
// them when it binds statement parameters.
//
// Thread-safety: none; see RKDBDataTypeBase.
#ifndef ZAREZODUD_DB_ROWS_RKDB_DATA_TYPES_H
#define ZAREZODUD_DB_ROWS_RKDB_DATA_TYPES_H

#include <cstdio>
#include <cstring>
#include <string>

#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_data_type_base.h"

namespace zarezodud {

// printf formats of the integer types' text form ("%d" and "%lld").
extern const char* const RKDB_int_format;
extern const char* const RKDB___int64_format;

// True when [offset, offset + length) lies inside a value of size bytes and source is usable.
bool rkdbFitsInValue(const char* source, int offset, int length, std::size_t size);

// An integer column. T is the integer type, *Format its printf format, TypeCode its type code.
template <typename T, const char* const* Format, int TypeCode>
class RKDBPrimitiveType : public RKDBDataTypeBase {
 public:
  // A null value holding 0.
  RKDBPrimitiveType() = default;
  // A non-null value holding value, update status 1.
  explicit RKDBPrimitiveType(T value) : m_data(value) {
    setInternalNull(false);
    setUpdated(RKDB_UPDATED_ONCE);
    setString();
  }

  // Copies length bytes of source into the integer's storage, offset bytes in (the bytes are
  // the integer in the machine's order, as a driver delivers it). The flag is not used.
  // Returns 1, or 0 when the bytes would not fit (then nothing changes).
  int setData(const char* source, int offset, int length, bool flag) override {
    static_cast<void>(flag);
    if (!rkdbFitsInValue(source, offset, length, sizeof(T))) return 0;
    if (length > 0) {
      std::memcpy(reinterpret_cast<char*>(&m_data) + offset, source, static_cast<std::size_t>(length));
    }
    setChanged(false);
    setString();
    return 1;
  }
  // Formats the value with *Format into a 100-byte buffer and keeps that as the text form.
  void setString() const override {
    char buffer[100];
    std::snprintf(buffer, sizeof(buffer), *Format, m_data);
    setTextForm(buffer);
  }
  int getDataType() const override { return TypeCode; }

  // Copies the base fields of source (see RKDBDataTypeBase::clone) and, when source is of the
  // same type, its value, so that the text form and the value agree.
  void clone(const RKDBDataTypeBase* source) {
    RKDBDataTypeBase::clone(source);
    if (const auto* same = dynamic_cast<const RKDBPrimitiveType*>(source)) m_data = same->m_data;
  }

  T getData() const { return m_data; }
  // Stores value as set by the program: not null, changed, update status advanced.
  void setValue(T value) {
    m_data = value;
    markSetByProgram();
    setString();
  }

 private:
  T m_data = 0;
};

using RKDB_int = RKDBPrimitiveType<int, &RKDB_int_format, RKDB_TYPE_INT>;
using RKDB___int64 = RKDBPrimitiveType<long long, &RKDB___int64_format, RKDB_TYPE_INT64>;

// A column whose value is a structure or a string. Derived classes give setData and setString.
template <typename T, int TypeCode>
class RKDBCompositeType : public RKDBDataTypeBase {
 public:
  int getDataType() const override { return TypeCode; }

  // Copies the base fields of source (see RKDBDataTypeBase::clone) and, when source is of the
  // same type, its value.
  void clone(const RKDBDataTypeBase* source) {
    RKDBDataTypeBase::clone(source);
    if (const auto* same = dynamic_cast<const RKDBCompositeType*>(source)) {
      if (same != this) m_data = same->m_data;
    }
  }

  const T& getData() const { return m_data; }

 protected:
  T m_data{};
};

// A date-time column; null with all fields 0 at construction. Text form
// "YYYY-MM-DD HH:MM:SS.mmm".
class RKDB_datetime : public RKDBCompositeType<RKTIMESTAMP_STRUCT, RKDB_TYPE_DATETIME> {
 public:
  RKDB_datetime() = default;

  // Copies length bytes of source into the 16-byte timestamp, offset bytes in (a fetched
  // timestamp: setData(src, 0, 16, false)). The flag is not used. Returns 1, or 0 when the
  // bytes would not fit.
  int setData(const char* source, int offset, int length, bool flag) override;
  void setString() const override;

  // Stores ts as set by the program: not null, changed, update status advanced.
  void setValue(const RKTIMESTAMP_STRUCT& ts);
  void setValue(const DB_DATETIME& value) { setValue(value.timestamp); }
};

// A text column; null and empty at construction. The text form is the text itself.
class RKDB_string : public RKDBCompositeType<std::string, RKDB_TYPE_STRING> {
 public:
  RKDB_string() = default;
  // Constructs empty, then clones other (value included; update status advanced).
  RKDB_string(const RKDB_string& other);
  RKDB_string& operator=(const RKDB_string& other) = default;
  ~RKDB_string() override;

  // Keeps the first offset characters of the text and appends length bytes of source, so a
  // long column can be delivered in pieces (a whole column: setData(src, 0, len, false)).
  // With flag true the source is a terminated text and length its maximum: copying stops at
  // the first NUL. Returns 1, or 0 when offset is beyond the text or the arguments are
  // negative (nothing changes then).
  int setData(const char* source, int offset, int length, bool flag) override;
  // Empties the text (and its text form).
  void clearMemoryOnNULL() override;
  void setString() const override;

  // Stores text as set by the program: not null, changed, update status advanced.
  void setValue(const std::string& text);
  operator std::string() const { return m_data; }
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_DATA_TYPES_H
