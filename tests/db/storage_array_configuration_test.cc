// ConfigureSMArrayEntries over the scripted connection: the statements sent for each path, the
// values bound into inserts, quoting of the array name, the message of every failing step, and
// the framework's current connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/current_db_queries.h"
#include "db/db_queries.h"
#include "db/rows/db_table.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"

namespace {

using zarezodud::SQLParam;

const char kSelectArray[] =
    "SELECT Id, ClientId, ArrayName, SoftState, IsEnabled, IsActive, BrokenCode, ReasonCode, Flags, "
    "TotalSpaceMB, FreeSpaceMB, LoginName, LoginPassword, UniqueID, SerialNumber, ProductOSVersion, "
    "ProductFirmwareVersion, ProductModel, CreationTime, UpdateTime, DeleteTime, AdminConsole, Properties, "
    "OrigFLId, GUID, ReserveField1, ReserveField2, ReserveField3, ReserveField4, ReserveFieldStr FROM "
    "SMArray "
    "WHERE ";
const char kSelectLink[] =
    "SELECT Id, ArrayId, ControlHostId, Flags, CreationTime, DeleteTime, ReserveField1, ReserveField2, "
    "ReserveField3, ReserveField4, ReserveFieldStr FROM SMArrayCtrlHostMap WHERE ";

class StorageArrayTest : public ::testing::Test {
 protected:
  StorageArrayTest()
      : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver"),
        db_(new DBQueries("SQL Server", "srv", "", "Corehub", "sa", "pw")) {}
  ~StorageArrayTest() override {
    db_.reset();
    zarezodud::DBtable::setCurrentConnection(nullptr);
  }

  ztest::ConnectionScript& script() { return fake_.script(); }
  std::vector<std::string> statements() {
    std::vector<std::string> out;
    for (const std::string& text : script().texts) out.push_back(text);
    return out;
  }
  void foundRow(const std::string& id) { script().reply().rows.push_back({id}); }
  void noRow() { script().reply(); }
  void ok() { script().reply(); }

  ztest::RegistrySandbox registry_;
  ztest::EnvOverride driver_;
  ztest::ScopedScriptedConnections fake_;
  std::unique_ptr<DBQueries> db_;
};

TEST_F(StorageArrayTest, NewArrayAndNewLinkAreInserted) {
  ok();            // control host
  noRow();         // array lookup
  foundRow("17");  // array insert, serial read back
  noRow();         // link lookup
  foundRow("5");   // link insert
  ASSERT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 1u) << db_->getLastError();
  EXPECT_STREQ(db_->getLastError(),
               "Successfully configured SMControlHost, SMArray and SMArrayCtrlHostMap with Client Id [9]");

  const std::vector<std::string> texts = statements();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "UPDATE SMControlHost SET ClientId = 9 WHERE ControlHostId = 3 ");
  EXPECT_EQ(texts[1], std::string(kSelectArray) + "ArrayName = 'array-1' ORDER BY Id");
  EXPECT_EQ(texts[2].rfind("INSERT INTO SMArray (ClientId, ArrayName, ", 0), 0u) << texts[2];
  EXPECT_EQ(texts[3], std::string(kSelectLink) + "ArrayId = '17' AND ControlHostId = '3' ORDER BY Id");
  EXPECT_EQ(texts[4].rfind("INSERT INTO SMArrayCtrlHostMap (ArrayId, ControlHostId, ", 0), 0u) << texts[4];

  // Array insert: columns after Id in order; OrigFLId is the 23rd of them.
  const std::vector<SQLParam>& array = script().params[2];
  ASSERT_EQ(array.size(), 29u);
  EXPECT_EQ(array[0].integer, 9);
  EXPECT_EQ(array[1].text, "array-1");
  EXPECT_EQ(array[22].integer, 2) << "OrigFLId";
  const SQLParam& creation = array[17];
  const SQLParam& update = array[18];
  const SQLParam& deleted = array[19];
  EXPECT_FALSE(creation.isNull);
  EXPECT_GT(creation.timestamp.year, 2000);
  EXPECT_EQ(creation.timestamp.second, update.timestamp.second);
  EXPECT_EQ(creation.timestamp.minute, update.timestamp.minute);
  EXPECT_TRUE(deleted.isNull) << "a new array has no delete time";

  // Link insert: the array id read back from the array insert, the control host, no delete time.
  const std::vector<SQLParam>& link = script().params[4];
  ASSERT_EQ(link.size(), 10u);
  EXPECT_EQ(link[0].integer, 17);
  EXPECT_EQ(link[1].integer, 3);
  EXPECT_FALSE(link[3].isNull) << "CreationTime";
  EXPECT_TRUE(link[4].isNull) << "DeleteTime";
}

TEST_F(StorageArrayTest, ExistingArrayAndLinkAreRevivedNotInserted) {
  ok();
  foundRow("42");
  ok();
  foundRow("8");
  ok();
  ASSERT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 1u) << db_->getLastError();
  const std::vector<std::string> texts = statements();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[2], "UPDATE SMArray SET DeleteTime = NULL, ClientId = 9 WHERE ArrayName = 'array-1'");
  EXPECT_EQ(texts[3], std::string(kSelectLink) + "ArrayId = '42' AND ControlHostId = '3' ORDER BY Id");
  EXPECT_EQ(texts[4],
            "UPDATE SMArrayCtrlHostMap SET DeleteTime = NULL WHERE ArrayId = '42' AND ControlHostId = '3'");
}

TEST_F(StorageArrayTest, QuotesInTheArrayNameCannotEndTheLiteral) {
  ok();
  noRow();
  foundRow("1");
  noRow();
  foundRow("1");
  const std::string name = "o'hara'; DELETE FROM SMArray; --";
  ASSERT_EQ(db_->ConfigureSMArrayEntries(name, 3, 9), 1u) << db_->getLastError();
  EXPECT_EQ(statements()[1],
            std::string(kSelectArray) + "ArrayName = 'o''hara''; DELETE FROM SMArray; --' ORDER BY Id");
  EXPECT_EQ(script().params[2][1].text, name) << "the stored name is the caller's, unchanged";
}

// Each step's failure. Replies before the failing statement, one letter each: o = done,
// n = no row, f = found (Id 42 for the array, 8 for the link); the next statement fails.
TEST_F(StorageArrayTest, EachFailingStepEndsTheRunWithItsMessage) {
  struct {
    const char* replies;
    const char* message;
  } cases[] = {
      {"", "Failed to populate SMControlHost for controlHost Id [3]. Error[The statement failed: boom]"},
      {"o", "Error[The statement failed: boom]"},
      {"of", "Failure in rowupdate for Array [42]. Error[The statement failed: boom]"},
      {"on", "Failure in rowInsert. Error[The statement failed: boom]"},
      {"ofo", "Failure. Error[The statement failed: boom]"},
      {"ofof", "Failure in rowupdate for SMArrayCtrlHostMap. Error[The statement failed: boom]"},
      {"ofon", "Failure in rowInsert. Error[The statement failed: boom]"},
  };
  for (const auto& c : cases) {
    script().replies.clear();
    script().texts.clear();
    const std::string replies = c.replies;
    for (std::size_t i = 0; i < replies.size(); ++i) {
      if (replies[i] == 'o') ok();
      if (replies[i] == 'n') noRow();
      if (replies[i] == 'f') foundRow(i == 1 ? "42" : "8");
    }
    script().failNext("boom");
    EXPECT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 0u) << c.replies;
    EXPECT_STREQ(db_->getLastError(), c.message) << c.replies;
    EXPECT_EQ(script().texts.size(), replies.size() + 1) << "nothing runs after the failing statement";
  }
}

TEST_F(StorageArrayTest, NoConnectionMeansNoStatement) {
  script().openResult = 1;
  script().openError = "cannot reach server";
  EXPECT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 0u);
  EXPECT_TRUE(script().texts.empty());
  EXPECT_NE(std::string(db_->getLastError()).find("Failed to get database connection"), std::string::npos)
      << db_->getLastError();
}

TEST_F(StorageArrayTest, ProductConnectionIsCurrentUntilTheObjectGoes) {
  ASSERT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 0u) << "default replies hold no serial";
  EXPECT_NE(zarezodud::DBtable::getCurrentConnection(), nullptr);
  EXPECT_EQ(zarezodud::currentDBQueries(), db_.get());
  db_.reset();
  EXPECT_EQ(zarezodud::DBtable::getCurrentConnection(), nullptr) << "no pointer to a deleted connection";
  EXPECT_EQ(zarezodud::currentDBQueries(), nullptr);
}

TEST_F(StorageArrayTest, ReopeningTheProductConnectionDropsTheOldCurrentOne) {
  ok();
  ASSERT_EQ(db_->ConfigureSMArrayEntries("array-1", 3, 9), 0u);
  ASSERT_NE(zarezodud::DBtable::getCurrentConnection(), nullptr);
  ASSERT_EQ(db_->getDBSQLConnection(), 1u);
  EXPECT_EQ(zarezodud::DBtable::getCurrentConnection(), nullptr);
}

}  // namespace
