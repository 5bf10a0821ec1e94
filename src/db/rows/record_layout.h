// RecordLayout: where each column of a generated table record lies, worked out from the
// table's schema text with the platform's structure layout rules (each field at the next
// multiple of its alignment), and the copying between a record and the column value objects
// that the connection service fetches into and binds from.
//
// Column kinds and record fields: i -> int, b/x -> long long, t -> DB_DATETIME, sN/uN ->
// char[N], s -> char* (heap text owned by the record). A cleared DB_DATETIME (all timestamp
// fields 0) and a null heap text stand for NULL.
//
// Thread-safety: a layout is immutable after construction; copying touches only the record
// and value objects passed in, which the caller must not share meanwhile.
#ifndef ZAREZODUD_DB_ROWS_RECORD_LAYOUT_H
#define ZAREZODUD_DB_ROWS_RECORD_LAYOUT_H

#include <cstddef>
#include <string>
#include <vector>

#include "db/rows/rkdb_data_type_base.h"

namespace zarezodud {

class RecordLayout {
 public:
  enum class Kind { kInt32, kInt64, kDateTime, kText, kHeapText };

  struct Field {
    Kind kind;
    std::size_t offset;
    std::size_t size;  // bytes of the field (the array size for kText)
  };

  // Parses schema ("i|s511|b|...|"). An unknown code or a text size of 0 makes the layout
  // invalid (valid() false, error() says why) and leaves it without fields.
  explicit RecordLayout(const std::string& schema);

  bool valid() const { return m_error.empty(); }
  const std::string& error() const { return m_error; }
  const std::vector<Field>& fields() const { return m_fields; }
  // The size of the whole record, padded to its alignment.
  std::size_t recordSize() const { return m_size; }

  // Copies the value objects into the record, field by field (values.size() must equal the
  // number of fields; a null value object is skipped). NULL becomes 0, the empty text, a
  // cleared date-time or a null heap text; text longer than its array is cut, terminated.
  void valuesToRecord(const std::vector<RKDBDataTypeBase*>& values, void* record) const;
  // Sets the value objects from the record (same preconditions). A cleared date-time and a
  // null heap text become NULL; everything else becomes a non-null value.
  void recordToValues(const void* record, const std::vector<RKDBDataTypeBase*>& values) const;

 private:
  std::vector<Field> m_fields;
  std::size_t m_size = 0;
  std::string m_error;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RECORD_LAYOUT_H
