// DefaultRKClient: the client-record service over the table framework. lookup reads the
// APP_Client row with the client's id; update writes the password set since, encrypted with
// the credential service (RKPassword::encrypt), into that row's password column. Statements
// run on the framework's current connection, which the calling DBQueries operation provides.
//
// Thread-safety: one object belongs to one thread at a time.
#ifndef ZAREZODUD_DB_DEFAULT_RK_CLIENT_H
#define ZAREZODUD_DB_DEFAULT_RK_CLIENT_H

#include <string>

#include "db/rk_client.h"

namespace zarezodud {

class DefaultRKClient : public RKClient {
 public:
  explicit DefaultRKClient(int id) : m_id(id) {}
  // Wipes a password still held.
  ~DefaultRKClient() override;
  DefaultRKClient(const DefaultRKClient&) = delete;
  DefaultRKClient& operator=(const DefaultRKClient&) = delete;

  int lookup(DBtran* tran) override;
  void setPassword(const char* password) override;
  // Wipes the plain-text password whatever the outcome.
  int update(DBtran* tran) override;
  std::string getErrorStr() const override { return m_error; }

  // The name of the record last looked up.
  const std::string& getName() const { return m_name; }

 private:
  int m_id;
  bool m_found = false;
  std::string m_name;
  std::string m_password;
  std::string m_error;
};

}  // namespace zarezodud

#endif
