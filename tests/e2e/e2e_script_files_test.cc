// Script files as SQL Server tools save them, run by the zarezodud command through FreeTDS
// against the SQL Server protocol test peer, checked against what the peer stored and
// received: UTF-8 with byte-order mark and UTF-16 (both byte orders) with non-ASCII text read
// back equal; a Latin-1 script refused with nothing of it sent, then converted with a code
// page; an invalid GO line refused with nothing sent; the sqlcmd variable mode with :r and
// $(var), errors inside the included file reported at its name and line; and the connection
// service refusing text that is not UTF-8 instead of letting the driver cut it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/peer_upgrade.h"
#include "support/registry_sandbox.h"
#include "support/tds_peer.h"
#include "support/temp_dir.h"

namespace {

// UTF-16 bytes of text, with its byte-order mark.
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

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PeerScriptFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    std::string reason;
    ASSERT_TRUE(peer_.start(ztest::TdsPeer::Options(), reason)) << reason;
  }

  // A phase named name over directory files/ whose list names scripts, in order; every
  // script runs even after one fails.
  void addPhase(const std::string& name, const std::vector<std::string>& scripts) {
    std::string list;
    for (const std::string& script : scripts) list += script + "\n";
    inst_.write("files/" + name + ".lst", list);
    inst_.write("phases.ini", ztest::readFile(inst_.path("phases.ini")) + "\n[" + name +
                                  "]\nDirectory = files\nPreCommandType = SQL\n"
                                  "PreCommand-TerminateOnError = FALSE\nPreCommand-CurRelListFileName = " +
                                  name + ".lst\n");
  }
  ztest::CommandResult run(const std::string& phase, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = ztest::PeerUpgrade::runArgs(phase, peer_.port());
    args.insert(args.end(), extra.begin(), extra.end());
    return inst_.run(args, peer_.options().password);
  }
  std::vector<std::string> rows(const std::string& query) {
    std::string error;
    std::vector<std::string> out = ztest::PeerUpgrade::queryPeer(peer_, "Corehub", query, &error);
    EXPECT_TRUE(error.empty()) << error;
    return out;
  }
  // Every batch text the peer received, joined.
  std::string received() const {
    std::string all;
    for (const std::string& text : peer_.loggedTexts("batch")) all += text + "\n";
    return all;
  }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

TEST_F(PeerScriptFiles, ByteOrderMarkAndUtf16ScriptsRunAndTheirTextArrivesUnchanged) {
  inst_.write("files/create.sql",
              "CREATE TABLE dbo.Words (id INT PRIMARY KEY, w NVARCHAR(100) NOT NULL);\nGO\n");
  // Saved as UTF-8 with a byte-order mark, GO on the first line.
  inst_.write("files/bom.sql",
              "\xEF\xBB\xBFGO\nINSERT INTO dbo.Words (id, w) VALUES (1, N'Gr\xC3\xBC\xC3\x9F"
              "e');\nGO\n");
  // Saved as "Unicode": UTF-16 LE with a byte-order mark and CR LF line ends.
  inst_.write(
      "files/le.sql",
      utf16(u"GO\r\nINSERT INTO dbo.Words (id, w) VALUES (2, N'\u65E5\u672C\u8A9E \u00FC');\r\nGO\r\n",
            false));
  inst_.write("files/be.sql",
              utf16(u"INSERT INTO dbo.Words (id, w) VALUES (3, N'\u03A9mega \u20AC');\n", true));
  addPhase("Enc", {"create.sql", "bom.sql", "le.sql", "be.sql"});

  const ztest::CommandResult result = run("Enc");
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(rows("SELECT w FROM Words ORDER BY id"),
            (std::vector<std::string>{"Gr\xC3\xBC\xC3\x9F"
                                      "e",
                                      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xC3\xBC",
                                      "\xCE\xA9mega \xE2\x82\xAC"}));
  EXPECT_FALSE(contains(received(), "\xEF\xBB\xBF")) << "no byte-order mark may reach the server";
}

TEST_F(PeerScriptFiles, ALatin1ScriptIsRefusedWholeAndRunsWithItsCodePage) {
  inst_.write("files/create.sql",
              "IF OBJECT_ID('dbo.Seen') IS NULL CREATE TABLE dbo.Seen (id INT PRIMARY KEY);\nGO\n");
  inst_.write(
      "files/latin1.sql",
      "INSERT INTO dbo.Seen (id) VALUES (10);\n-- caf\xE9 au lait\nINSERT INTO dbo.Seen (id) VALUES (11);\n");
  addPhase("Latin", {"create.sql", "latin1.sql"});

  const ztest::CommandResult refused = run("Latin");
  EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
  EXPECT_TRUE(rows("SELECT id FROM Seen ORDER BY id").empty()) << "nothing of the script may have run";
  EXPECT_FALSE(contains(received(), "VALUES (10)")) << received();
  const std::string phaseLog = ztest::readFile(inst_.path("logs/phase.log"));
  EXPECT_TRUE(contains(phaseLog, "Script [" + inst_.path("files/latin1.sql") +
                                     "] line 2, byte offset 45: not valid UTF-8 (byte 0xE9)"))
      << phaseLog;

  std::filesystem::remove_all(inst_.path("state"));
  const ztest::CommandResult converted = run("Latin", {"--script-codepage", "1252"});
  ASSERT_EQ(converted.exitCode, 0) << converted.out << converted.err;
  EXPECT_EQ(rows("SELECT id FROM Seen ORDER BY id"), (std::vector<std::string>{"10", "11"}));
  EXPECT_TRUE(contains(received(), "-- caf\xC3\xA9 au lait")) << "sent as UTF-8";
}

TEST_F(PeerScriptFiles, AnInvalidGoLineFailsTheScriptBeforeAnythingOfItIsSent) {
  inst_.write("files/create.sql", "CREATE TABLE dbo.Seen (id INT PRIMARY KEY);\nGO\n");
  inst_.write("files/merge.sql",
              "INSERT INTO dbo.Seen (id) VALUES (1);\nGO /* c */\nINSERT INTO dbo.Seen (id) VALUES (2);\n");
  inst_.write("files/after.sql", "INSERT INTO dbo.Seen (id) VALUES (3);\n");
  addPhase("Sep", {"create.sql", "merge.sql", "after.sql"});

  const ztest::CommandResult result = run("Sep");
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_EQ(rows("SELECT id FROM Seen ORDER BY id"), (std::vector<std::string>{"3"}))
      << "the failed script sent nothing; terminate-on-error off lets the next one run";
  EXPECT_FALSE(contains(received(), "GO /* c */"));
  EXPECT_TRUE(contains(
      ztest::readFile(inst_.path("logs/phase.log")),
      "Script [" + inst_.path("files/merge.sql") + "] line 2: [GO /* c */] is not a valid batch separator."));
}

TEST_F(PeerScriptFiles, SqlcmdVariablesAndIncludesWithErrorsReportedInTheIncludedFile) {
  inst_.write("files/create.sql",
              "CREATE TABLE dbo.Tags (tag NVARCHAR(50) NOT NULL, who NVARCHAR(50) NOT NULL);\nGO\n");
  inst_.write("files/main.sql",
              ":setvar tag first\nINSERT INTO dbo.Tags (tag, who) VALUES ('$(tag)', N'$(who)');\nGO\n"
              ":r parts/inc.sql\nINSERT INTO dbo.Tags (tag, who) VALUES ('same-batch', 'x');\n");
  inst_.write("files/parts/inc.sql",
              "INSERT INTO dbo.Tags (tag, who) VALUES ('$(tag)-inc', '$(who)');\nGO\n"
              "RAISERROR('boom in the include', 16, 1);\n");
  inst_.write("files/undefined.sql", "SELECT 1;\n:r parts/undef.sql\n");
  inst_.write("files/parts/undef.sql",
              "INSERT INTO dbo.Tags (tag, who) VALUES ('undef', 'x');\nSELECT $(nope);\n");
  addPhase("Vars", {"create.sql", "main.sql", "undefined.sql"});

  const ztest::CommandResult result = run("Vars", {"--var", "who=ops"});
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  // RAISERROR of severity 16 does not end its batch on SQL Server: the insert after the include,
  // in the same batch, still runs; the script fails all the same.
  EXPECT_EQ(rows("SELECT tag || '/' || who FROM Tags ORDER BY rowid"),
            (std::vector<std::string>{"first/ops", "first-inc/ops", "same-batch/x"}));
  const std::string phaseLog = ztest::readFile(inst_.path("logs/phase.log"));
  EXPECT_TRUE(contains(phaseLog, "boom in the include")) << phaseLog;
  EXPECT_TRUE(contains(phaseLog, "The error is at [" + inst_.path("files/parts/inc.sql") + "] line 3."))
      << phaseLog;
  EXPECT_TRUE(contains(phaseLog, "Script [" + inst_.path("files/parts/undef.sql") +
                                     "] line 2: scripting variable [nope] is not defined"))
      << phaseLog;
  EXPECT_FALSE(contains(received(), "'undef'")) << "nothing of the refused script is sent";
  EXPECT_FALSE(contains(received(), "$(")) << received();
}

TEST_F(PeerScriptFiles, TheConnectionRefusesTextThatIsNotUtf8InsteadOfLettingTheDriverCutIt) {
  ztest::RegistrySandbox registry;
  ztest::TempDir dir;
  ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR", dir.file("out"));
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "FreeTDS");
  DBQueries db("SQL Server", "127.0.0.1," + std::to_string(peer_.port()), "", "Corehub", peer_.options().user,
               peer_.options().password);
  EXPECT_EQ(db.executeSQLQuery("SELECT 41\nGO\nPRINT 'caf\xE9 cr\xE8me'\n", 0, "ON"), 0u);
  EXPECT_TRUE(contains(db.getLastError(), "not valid UTF-8")) << db.getLastError();
  EXPECT_TRUE(contains(received(), "SELECT 41")) << "the batch before it ran";
  EXPECT_FALSE(contains(received(), "PRINT")) << "no part of the bad batch was sent: " << received();
}

}  // namespace
