#include "db/default_rk_client.h"

#include "db/rows/app_client.h"
#include "db/secure_text.h"
#include "db/sql_text_guard.h"
#include "log/format_message.h"
#include "platform/crypto/rk_password.h"

namespace zarezodud {

namespace {

// Any non-zero result means failure to the callers; the framework's own status is kept when
// there is one.
const int kFailed = -1;

}  // namespace

DefaultRKClient::~DefaultRKClient() { clearString(m_password); }

int DefaultRKClient::lookup(DBtran* tran) {
  m_found = false;
  APP_Client client(tran);
  client.setWhere("id = %d", m_id);
  const int status = getOneRow(&client, false, -1, 0);
  if (status == DBT_NO_DATA) {
    m_error = formatMessage("Client record [%d] not found.", m_id);
    return DBT_NO_DATA;
  }
  if (status != DBT_OK) {
    m_error = client.getErrorStr(status);
    return status;
  }
  m_name = client.getDataPtr()->name;
  m_found = true;
  return 0;
}

void DefaultRKClient::setPassword(const char* password) {
  clearString(m_password);
  m_password = password != nullptr ? password : "";
}

int DefaultRKClient::update(DBtran* tran) {
  if (!m_found) {
    clearString(m_password);
    m_error = formatMessage("Client record [%d] has not been looked up.", m_id);
    return kFailed;
  }
  std::string reason;
  std::string encrypted = RKPassword::encrypt(m_password, &reason);
  clearString(m_password);
  if (encrypted.empty()) {
    m_error = "Failed to encrypt the client password: " + reason;
    return kFailed;
  }
  APP_Client client(tran);
  client.setWhere("id = %d", m_id);
  // The set clause is text: the encrypted form ("v1:" and base64) holds no quote, but it is
  // quoted safely all the same.
  const std::string literal = escapeSqlLiteral(encrypted);
  const int status = client.rowUpdate("password = '%s'", literal.c_str());
  if (status != DBT_OK) {
    m_error = client.getErrorStr(status);
    return status;
  }
  return 0;
}

}  // namespace zarezodud
