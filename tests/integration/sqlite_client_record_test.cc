// The default client-record service on a real database (SQLite through ODBC): setClientPassword
// copies the stored session password into APP_Client row 2, encrypted, and leaves the other
// rows and columns alone.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_queries.h"
#include "platform/crypto/rk_password.h"
#include "platform/crypto/sim_decrypt.h"
#include "platform/odbc/odbc_connection.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_platform_info.h"
#include "support/connection_redirect.h"
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

namespace names = registry_names;
const char kFocus[] = "Instance001";

class SqliteClientRecord : public ztest::SqliteDatabaseTest {
 protected:
  void SetUp() override {
    SqliteDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    run("CREATE TABLE APP_Client (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(255), password TEXT)");
    useForDBQueries();
  }
  void storeSessionPassword(const std::string& plain) {
    std::string error;
    const std::string encrypted = RKPassword::encrypt(plain, &error);
    ASSERT_FALSE(encrypted.empty()) << error;
    RKPlatformInfo writer;
    writer.setFocus(kFocus);
    ASSERT_EQ(writer.setString(names::kSessionKey, names::kNetworkPasswordValue, encrypted), 1);
  }
};

TEST_F(SqliteClientRecord, SessionPasswordIsStoredEncryptedInClientTwo) {
  run("INSERT INTO APP_Client (id, name, password) VALUES (1, 'one', 'keep')");
  run("INSERT INTO APP_Client (id, name, password) VALUES (2, 'corehub', NULL)");
  storeSessionPassword("s3cret pass");
  std::string error;
  ASSERT_EQ(m_db->setClientPassword(kFocus, error), 1u) << error;

  const std::string stored = text("SELECT password FROM APP_Client WHERE id = 2");
  EXPECT_EQ(stored.rfind("v1:", 0), 0u) << "the password is kept in encrypted form";
  EXPECT_EQ(stored.find("s3cret"), std::string::npos);
  char* plain = nullptr;
  int length = 0;
  ASSERT_EQ(simDecrypt(stored.c_str(), &plain, &length, nullptr), 0);
  const bool same = plain != nullptr && std::string(plain, static_cast<size_t>(length)) == "s3cret pass";
  simFree(plain);
  EXPECT_TRUE(same) << "the stored text decrypts to the session password";
  EXPECT_EQ(text("SELECT name FROM APP_Client WHERE id = 2"), "corehub");
  EXPECT_EQ(text("SELECT password FROM APP_Client WHERE id = 1"), "keep");
}

TEST_F(SqliteClientRecord, MissingClientRecordIsAFailure) {
  storeSessionPassword("s3cret pass");
  std::string error;
  EXPECT_EQ(m_db->setClientPassword(kFocus, error), 0u);
  EXPECT_EQ(error, "client.lookup Failed: Client record [2] not found.");
}

}  // namespace
}  // namespace zarezodud
