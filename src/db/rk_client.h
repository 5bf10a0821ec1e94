// RKClient: the product's client-record service, one client record (a row of APP_Client) as an
// object: look it up by the id it was made for, set its password, write it back. The
// server-upgrade operations get one from the product services (ProductServices::createClient)
// and store the Corehub's session password in client record 2 with it.
//
// A client keeps a plain-text password only between setPassword and the next update (or its
// destruction), and wipes it then; the record holds the password only in encrypted form.
//
// Thread-safety: one object belongs to one thread at a time.
#ifndef ZAREZODUD_DB_RK_CLIENT_H
#define ZAREZODUD_DB_RK_CLIENT_H

#include <string>

namespace zarezodud {

class DBtran;

class RKClient {
 public:
  virtual ~RKClient() = default;

  // Loads the client record. tran (may be null: the statement stands alone) is not owned.
  // 0 on success; non-zero with getErrorStr() set otherwise (also when there is no such record).
  virtual int lookup(DBtran* tran) = 0;
  // The plain-text password to store at the next update (copied; null counts as "").
  virtual void setPassword(const char* password) = 0;
  // Writes the looked-up record back with the password set, encrypted. 0 on success; non-zero
  // with getErrorStr() set otherwise (also when lookup has not succeeded first).
  virtual int update(DBtran* tran) = 0;
  // Why the last call failed; never holds the password.
  virtual std::string getErrorStr() const = 0;
};

}  // namespace zarezodud

#endif
