// How DBQueries reads a script file before sending it: byte-order marks, UTF-16, text that is
// not UTF-8 and GO lines that are not separators, checked on the exact text the connection
// service receives (or on its receiving nothing).
#include <gtest/gtest.h>

#include <string>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/scripted_database.h"
#include "support/temp_dir.h"

namespace {

const char kPreamble[] = "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";

// UTF-16 bytes of an ASCII-and-BMP text, with its byte-order mark.
std::string utf16(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char hi = static_cast<char>(unit >> 8);
    const char lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

class ScriptReadingTest : public ztest::ScriptedDatabaseTest {
 protected:
  // Runs the script file holding bytes; returns the truth value.
  unsigned int run(const std::string& bytes, int& code) {
    path_ = dir_.write("script.sql", bytes);
    return db_.executeSQLFile(path_, code, 1, 1, "ON");
  }

  std::string path_;
};

TEST_F(ScriptReadingTest, Utf8ByteOrderMarkIsNotSentSoAFirstLineGoSeparates) {
  int code = -1;
  ASSERT_EQ(run("\xEF\xBB\xBFGO\nSELECT 1\n", code), 1u) << db_.getLastError();
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0], std::string(kPreamble) + "GO\nSELECT 1\n");
}

TEST_F(ScriptReadingTest, Utf16ScriptsOfBothByteOrdersAreSentAsUtf8) {
  for (bool bigEndian : {false, true}) {
    int code = -1;
    ASSERT_EQ(
        run(utf16(u"GO\r\nINSERT INTO dbo.W VALUES (N'Gr\u00FC\u00DFe \u65E5')\r\nGO\r\n", bigEndian), code),
        1u)
        << db_.getLastError();
    EXPECT_EQ(texts().back(), std::string(kPreamble) +
                                  "GO\r\nINSERT INTO dbo.W VALUES (N'Gr\xC3\xBC\xC3\x9F"
                                  "e \xE6\x97\xA5')\r\nGO\r\n");
  }
}

TEST_F(ScriptReadingTest, TextThatIsNotUtf8IsRefusedBeforeAnythingIsSent) {
  int code = 0;
  const std::string latin1 = "INSERT INTO dbo.W VALUES (1)\n-- caf\xE9\nINSERT INTO dbo.W VALUES (2)\n";
  EXPECT_EQ(run(latin1, code), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(texts().empty()) << "nothing of the script may reach the server";
  EXPECT_FALSE(db_.hasDBConnection());
  EXPECT_EQ(std::string(db_.getLastError())
                .rfind("Script [" + path_ + "] line 2, byte offset 35: not valid UTF-8", 0),
            0u)
      << db_.getLastError();
}

TEST_F(ScriptReadingTest, BrokenUtf16IsRefusedWithTheByteOffset) {
  int code = 0;
  EXPECT_EQ(run(utf16(u"SELECT 1\n", false) + "X", code), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(texts().empty());
  EXPECT_NE(std::string(db_.getLastError()).find("byte offset 20"), std::string::npos) << db_.getLastError();
  EXPECT_NE(std::string(db_.getLastError()).find("odd number of bytes"), std::string::npos);
}

TEST_F(ScriptReadingTest, GoLinesThatAreNoSeparatorsFailTheScriptBeforeAnythingIsSent) {
  struct Case {
    std::string script;
    int line;
    std::string shown;
  } cases[] = {
      {"SELECT 1\nGO /* c */\nSELECT 2\n", 2, "GO /* c */"},  // would merge two batches
      {"SELECT 1\nGO\nSELECT 2\n  go 0\n", 4, "go 0"},
      {"PRINT 'a'\r\nGO -1\r\n", 2, "GO -1"},
      {"SELECT 1\nGO ;\n", 2, "GO ;"},
      {"SELECT 1\nGO x\n", 2, "GO x"},
      {"SELECT 1\nGO 2 3\n", 2, "GO 2 3"},
      {"SELECT 1\nGO 3x\n", 2, "GO 3x"},
      // The line a person sees, also with the byte-order mark dropped.
      {"\xEF\xBB\xBF"
       "SELECT 1\nGO x\n",
       2, "GO x"},
  };
  for (const Case& c : cases) {
    int code = 0;
    EXPECT_EQ(run(c.script, code), 0u) << c.script;
    EXPECT_EQ(code, 2);
    EXPECT_EQ(std::string(db_.getLastError()), "Script [" + path_ + "] line " + std::to_string(c.line) +
                                                   ": [" + c.shown + "] is not a valid batch separator.");
  }
  EXPECT_TRUE(texts().empty());
}

TEST_F(ScriptReadingTest, ValidSeparatorFormsStillRun) {
  int code = -1;
  ASSERT_EQ(run("SELECT 1\nGO\t\nSELECT 2\nGO--done\nGOTO x\ngo2\nGO 2 -- twice\n", code), 1u)
      << db_.getLastError();
  EXPECT_EQ(texts().size(), 1u);
}

TEST_F(ScriptReadingTest, OneShotOperationsReadTheirScriptsTheSameWay) {
  const std::string path = dir_.write("jobs.sql", utf16(u"UPDATE dbo.Jobs SET restarts = 0\n", false));
  ASSERT_EQ(db_.updateJobRestarts(path), 1u) << db_.getLastError();
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0], std::string(kPreamble) + "UPDATE dbo.Jobs SET restarts = 0\n");

  const std::string bad = dir_.write("bad.sql", "UPDATE dbo.Jobs SET note = 'd\xE9j\xE0'\n");
  EXPECT_EQ(db_.updateSimTables(bad), 0u);
  EXPECT_EQ(texts().size(), 1u);
  EXPECT_NE(std::string(db_.getLastError()).find("not valid UTF-8"), std::string::npos) << db_.getLastError();
}

}  // namespace
