// ColumnTarget: what the connection service writes a fetched column into. The service asks the
// target's type code and hands it the column's bytes, or tells it the column is NULL; the
// table layer's value objects are such targets. Keeping this interface here lets the service
// fill them without knowing the table layer.
//
// Thread-safety: none; a target belongs to the thread that fetches into it.
#ifndef ZAREZODUD_PLATFORM_ODBC_COLUMN_TARGET_H
#define ZAREZODUD_PLATFORM_ODBC_COLUMN_TARGET_H

namespace zarezodud {

// Type codes of fetch targets (getDataType()).
enum RKDBDataTypeCode : int {
  RKDB_TYPE_INT = 1,       // a 32-bit integer, bytes of an int32_t
  RKDB_TYPE_INT64 = 4,     // a 64-bit integer, bytes of an int64_t
  RKDB_TYPE_DATETIME = 5,  // a time stamp structure
  RKDB_TYPE_STRING = 6,    // text bytes
};

class ColumnTarget {
 public:
  virtual ~ColumnTarget() = default;
  // The type code (RKDBDataTypeCode).
  virtual int getDataType() const = 0;
  // Stores length bytes of source, offset bytes into the value; 1 when stored, 0 when they do
  // not fit (nothing changes then).
  virtual int setData(const char* source, int offset, int length, bool flag) = 0;
  // Marks the fetched value NULL (true) or present (false).
  virtual void setFetchedNull(bool isNull) = 0;

 protected:
  ColumnTarget() = default;
  ColumnTarget(const ColumnTarget&) = default;
  ColumnTarget& operator=(const ColumnTarget&) = default;
};

}  // namespace zarezodud

#endif
