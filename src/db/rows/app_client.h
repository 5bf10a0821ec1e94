// APP_Client (table): the product's client records as far as this system uses them: the id,
// the name and the password, stored encrypted ("v1:" text of the credential service). The
// record class APP_Client_t and the table class APP_Client, which runs statements through the
// table framework in the binding style that fills the record directly (no row class).
//
// Thread-safety: a record and a table object are used by one thread at a time.
#ifndef ZAREZODUD_DB_ROWS_APP_CLIENT_H
#define ZAREZODUD_DB_ROWS_APP_CLIENT_H

#include <iterator>
#include <string>

#include "db/rows/rkdb_generated_table.h"
#include "db/rows/rkdb_table_columns.h"

namespace zarezodud {

// id 0, name empty, password null at construction.
struct APP_Client_t {
  APP_Client_t();
  // Wipes and releases the password text.
  ~APP_Client_t();
  APP_Client_t(const APP_Client_t&) = delete;
  APP_Client_t& operator=(const APP_Client_t&) = delete;

  int id;
  char name[1021];
  char* password;  // heap text, released by the destructor
};

// The table's columns, in order: the one description the schema, the column list and the
// table object's description are made from.
inline constexpr RKDBColumn kAPP_ClientColumns[] = {
    rkdbColumn<&APP_Client_t::id>("id"),
    rkdbColumn<&APP_Client_t::name>("name", RKDBText::kWide),
    rkdbColumn<&APP_Client_t::password>("password"),
};

// The table object (see RKDBGeneratedTable); it has no row class.
class APP_Client : public RKDBGeneratedTable<APP_Client_t, void, std::size(kAPP_ClientColumns)> {
 public:
  // The record's schema text (see RecordLayout).
  static inline const std::string kSchema = rkdbSchemaText(rkdbColumnDefs(kAPP_ClientColumns));

  // The table's description: name, kind, columns, serial column, ordering.
  static const RKDBTableDef& definition();

  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection (a failure to enrol is logged to the framework's error log).
  explicit APP_Client(DBtran* tran);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_APP_CLIENT_H
