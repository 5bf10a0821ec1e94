// The one description of a generated table's columns: a constant array of RKDBColumn, each
// naming a column and the record field that holds it. A column's schema code follows from the
// field's type (int "i", long long "b", DB_DATETIME "t", char[N] "sN" or "uN", char* "s"), so
// the description cannot disagree with the record. Everything else is made from it: the
// record's construction and release, the column-list and schema texts, the row class's
// definition and the table object's description (see RKDBGeneratedTable).
//
//   inline constexpr RKDBColumn kThingColumns[] = {
//       rkdbColumn<&Thing_t::Id>("Id"),
//       rkdbColumn<&Thing_t::Name>("Name", RKDBText::kWide),  // "u<size>"
//   };
//
// Thread-safety: the descriptions are constants; the functions touch only the record given.
#ifndef ZAREZODUD_DB_ROWS_RKDB_TABLE_COLUMNS_H
#define ZAREZODUD_DB_ROWS_RKDB_TABLE_COLUMNS_H

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "db/rows/record_text.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Which letter a character-array column's schema code takes.
enum class RKDBText { kNarrow, kWide };  // "s<size>", "u<size>"

// One column: its name, its schema code and what the record's construction and release do
// with its field.
struct RKDBColumn {
  const char* name;
  char code;         // 'i', 'b', 't', 's' or 'u'
  std::size_t size;  // bytes of a character array; 0 for other fields and the heap text
  // Sets the field of record to its empty value: 0, the empty text, a cleared date-time, null.
  void (*clear)(void* record);
  // Frees what the field of record owns (the heap text); null for fields that own nothing.
  void (*release)(void* record);

  // The schema code as the schema text writes it: "i", "b", "t", "s", "s511", "u4097".
  std::string schemaCode() const;
};

namespace rkdb_detail {

template <class T>
struct MemberOf;
template <class Record, class Field>
struct MemberOf<Field Record::*> {
  using record = Record;
  using field = Field;
};

template <class T>
struct IsCharArray : std::false_type {};
template <std::size_t N>
struct IsCharArray<char[N]> : std::true_type {};

}  // namespace rkdb_detail

// The column held by the record field Member (a pointer to a data member of the record).
// text chooses "s" or "u" for a character array and must be left alone for other fields.
template <auto Member>
constexpr RKDBColumn rkdbColumn(const char* name, RKDBText text = RKDBText::kNarrow) {
  using Record = typename rkdb_detail::MemberOf<decltype(Member)>::record;
  using Field = typename rkdb_detail::MemberOf<decltype(Member)>::field;
  if constexpr (std::is_same<Field, int>::value || std::is_same<Field, long long>::value) {
    return RKDBColumn{name, std::is_same<Field, int>::value ? 'i' : 'b', 0,
                      [](void* record) { static_cast<Record*>(record)->*Member = 0; }, nullptr};
  } else if constexpr (std::is_same<Field, DB_DATETIME>::value) {
    return RKDBColumn{name, 't', 0, [](void* record) { (static_cast<Record*>(record)->*Member).clear(); },
                      nullptr};
  } else if constexpr (rkdb_detail::IsCharArray<Field>::value) {
    return RKDBColumn{name, text == RKDBText::kWide ? 'u' : 's', sizeof(Field),
                      [](void* record) {
                        auto& field = static_cast<Record*>(record)->*Member;
                        copyRecordText(field, sizeof(field), "");
                      },
                      nullptr};
  } else {
    static_assert(std::is_same<Field, char*>::value,
                  "a column's field is int, long long, DB_DATETIME, a character array or char*");
    return RKDBColumn{name, 's', 0, [](void* record) { static_cast<Record*>(record)->*Member = nullptr; },
                      [](void* record) {
                        char*& field = static_cast<Record*>(record)->*Member;
                        delete[] field;
                        field = nullptr;
                      }};
  }
}

// Every field of record to its empty value, in column order.
template <std::size_t N>
void rkdbClearRecord(const RKDBColumn (&columns)[N], void* record) {
  for (const RKDBColumn& column : columns) column.clear(record);
}

// Frees what the fields of record own.
template <std::size_t N>
void rkdbReleaseRecord(const RKDBColumn (&columns)[N], void* record) {
  for (const RKDBColumn& column : columns) {
    if (column.release != nullptr) column.release(record);
  }
}

// The columns as the row classes describe them: names and schema codes, in order.
std::vector<RKDBColumnDef> rkdbColumnDefs(const RKDBColumn* columns, std::size_t count);
template <std::size_t N>
std::vector<RKDBColumnDef> rkdbColumnDefs(const RKDBColumn (&columns)[N]) {
  return rkdbColumnDefs(columns, N);
}

// The column-list text: the names joined by ", ".
std::string rkdbColumnList(const std::vector<RKDBColumnDef>& columns);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_TABLE_COLUMNS_H
