// APP_Client (table): the product's client records as far as this system uses them: the id,
// the name and the password, stored encrypted ("v1:" text of the credential service). The
// record class APP_Client_t and the table class APP_Client, which runs statements through the
// table framework in the binding style that fills the record directly (no row class).
//
// Thread-safety: a record and a table object are used by one thread at a time.
#ifndef ZAREZODUD_DB_ROWS_APP_CLIENT_H
#define ZAREZODUD_DB_ROWS_APP_CLIENT_H

#include <cstdint>

#include "db/rows/db_table.h"

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

class APP_Client : public DBtable {
 public:
  static constexpr int kColumnCount = 3;
  // The record's schema text (see RecordLayout).
  static constexpr const char kSchema[] = "i|u1021|s|";

  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection (a failure to enrol is logged to the framework's error log).
  explicit APP_Client(DBtran* tran);
  ~APP_Client() override;

  // The record (owned by this object).
  APP_Client_t* getDataPtr() { return &m_record; }

 private:
  APP_Client_t m_record;
  std::int64_t m_indicators[kColumnCount] = {};
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_APP_CLIENT_H
