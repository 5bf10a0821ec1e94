// Service-pack selection state: recut times from the media description files, the common SQL
// file list, the database's function and procedure maps, and the selection rule end to end.
#include <gtest/gtest.h>
#include <utime.h>

#include "engine/ini_file_processor.h"
#include "engine/media_info.h"
#include "support/env_override.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"

namespace {

// The serialized media message: one media set per (release, service pack, recut time).
std::string mediaXml(const std::vector<std::array<int64_t, 3>>& sets) {
  SGMessageBase media(23, 169);
  SGMessageList* list = media.getlistobject(1, 1, 0, 0, true);
  for (const auto& set : sets) {
    SGMessageBase* stored = list->append(SGMessageBase(23, 170));
    SGMessageBase* info = stored->getObjectAccessor(true, true, 1, 1, 0, 0, 23, 152);
    info->setint64(1, 6, set[0], 0, 0);
    info->setint64(2, 1, set[1], 0, 0);
    info->setint64(3, 12, set[2], 0, 0);
  }
  return media.serialize();
}

class RecutTimeTest : public ::testing::Test {
 protected:
  RecutTimeTest() { params.setDatabaseScriptsDir(tree.path("media/Database")); }
  unsigned int recut(int release, int servicePack) {
    processor = std::make_unique<INIFileProcessor>(params, 0);
    return processor->getRecutTimeFromDVDInfo(release, servicePack);
  }
  ztest::PhaseTree tree;
  ZARezodudParams params = tree.params();
  std::unique_ptr<INIFileProcessor> processor;
  ztest::UpgradeLogCapture log;
};

TEST(MediaTextLineTest, FieldsAndMalformedLines) {
  int32_t sp = 0;
  int64_t time = 0;
  ASSERT_TRUE(zarezodud::parseMediaTextLine("11.0.0:SP16:1700000000", sp, time));
  EXPECT_EQ(sp, 16);
  EXPECT_EQ(time, 1700000000);
  ASSERT_TRUE(zarezodud::parseMediaTextLine("Media 11.0.0 build:x:S1P2:  42abc", sp, time));
  EXPECT_EQ(sp, 12);
  EXPECT_EQ(time, 42);
  EXPECT_FALSE(zarezodud::parseMediaTextLine("12.0.0:SP16:1700000000", sp, time));
  EXPECT_FALSE(zarezodud::parseMediaTextLine("11.0.0:SP:1700000000", sp, time));
  EXPECT_FALSE(zarezodud::parseMediaTextLine("11.0.0:SP3:soon", sp, time));
  EXPECT_FALSE(zarezodud::parseMediaTextLine("11.0.0:SP3:99999999999999999999999", sp, time));
  EXPECT_FALSE(zarezodud::parseMediaTextLine("11.0.0 no colon", sp, time));
}

TEST_F(RecutTimeTest, TextFileTakesExactOrNextLowerServicePack) {
  tree.write("media/DVDInfo.txt",
             "11.0.0:SP12:1200\n11.0.0:SP14:1400\n11.0.0:SP17:1700\n10.0.0:SP15:9999\n11.0.0:SP14:1401\n");
  EXPECT_EQ(recut(16, 15), 1u);
  EXPECT_EQ(processor->getRecutTime(), 1400);
  EXPECT_TRUE(log.contains("RecutTime = 1400 fetched successfully."));
  EXPECT_EQ(recut(16, 12), 1u);
  EXPECT_EQ(processor->getRecutTime(), 1200);
}

TEST_F(RecutTimeTest, NoLowerServicePackLeavesRecutTimeAndSucceeds) {
  tree.write("media/DVDInfo.txt", "11.0.0:SP12:1200\n11.0.0:SP14:1400\n");
  EXPECT_EQ(recut(16, 10), 1u);
  EXPECT_EQ(processor->getRecutTime(), 0);
  EXPECT_TRUE(log.contains("RecutTime = 0 fetched successfully."));
}

TEST_F(RecutTimeTest, MissingFilesFail) {
  EXPECT_EQ(recut(16, 15), 0u);
  EXPECT_TRUE(log.contains("Cannot open DVDInfo.txt."));
  EXPECT_EQ(recut(16, 17), 0u);
  EXPECT_TRUE(log.contains("Cannot open DVDInfo.xml."));
}

TEST_F(RecutTimeTest, OtherCasesReadTheXmlFileForTheirRelease) {
  tree.write("media/DVDInfo.txt", "11.0.0:SP17:1\n");
  tree.write("media/DVDInfo.xml", mediaXml({{16, 17, 1717}, {20, 2, 2002}, {20, 3, 2003}, {21, 3, 2103}}));
  EXPECT_EQ(recut(16, 17), 1u);
  EXPECT_EQ(processor->getRecutTime(), 1717);
  EXPECT_EQ(recut(20, 3), 1u);
  EXPECT_EQ(processor->getRecutTime(), 2003);
  EXPECT_EQ(recut(20, 9), 1u);
  EXPECT_EQ(processor->getRecutTime(), 2003);
}

TEST_F(RecutTimeTest, DamagedXmlFailsAndKeepsRecutTime) {
  tree.write("media/DVDInfo.xml", "<message group=\"23\" kind=\"169\"><field number=");
  EXPECT_EQ(recut(16, 17), 0u);
  EXPECT_EQ(processor->getRecutTime(), 0);
  EXPECT_TRUE(log.contains("DVDInfo.xml in [" + tree.path("media") + "] cannot be read"));
}

TEST_F(RecutTimeTest, TrailingSlashKeepsTheDirectoryItself) {
  params.setDatabaseScriptsDir(tree.path("media/Database/"));
  tree.write("media/Database/DVDInfo.txt", "11.0.0:SP16:1616\n");
  EXPECT_EQ(recut(16, 16), 1u);
  EXPECT_EQ(processor->getRecutTime(), 1616);
}

TEST(CommonSQLFilesTest, NamesWithoutExtensionGetSQL) {
  ztest::PhaseTree tree;
  ZARezodudParams params = tree.params();
  params.setCommonScriptsDir(tree.path("common"));
  tree.write("common/CommonSQLFiles.lst", "# common\nviews\n  tables.sql \n\nviews\n");
  INIFileProcessor processor(params, 0);
  ASSERT_EQ(processor.populateCommonSQLFilesList(), 1u);
  EXPECT_EQ(processor.getCommonSQLFileMap().size(), 2u);
  EXPECT_EQ(processor.getCommonSQLFileMap().count("views.SQL"), 1u);
  EXPECT_EQ(processor.getCommonSQLFileMap().count("tables.sql"), 1u);

  ztest::UpgradeLogCapture log;
  params.setCommonScriptsDir(tree.path("nowhere"));
  INIFileProcessor missing(params, 0);
  EXPECT_EQ(missing.populateCommonSQLFilesList(), 0u);
  EXPECT_TRUE(log.contains("Cannot open list file [" + tree.path("nowhere/CommonSQLFiles.lst") + "]."));
}

// A processor whose database object runs over the scripted connection.
class SelectionStateTest : public ::testing::Test {
 protected:
  SelectionStateTest()
      : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver"), output_("ZAREZODUD_OUTPUT_DIR", tree.path("out")) {
    tree.write("product.ini",
               "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nBaseRegistryPath=Base\n"
               "RegistryPathForDBAccess=Database\n");
    params.setProductConfigFile(tree.path("product.ini"));
    params.setProductName("Corehub");
    params.setDBServer("SQL Server");
    params.setSQLInstance("srv");
    params.setDBname("Corehub");
    params.setUserId("sa");
    params.setPassword("pw");
  }
  ztest::PhaseTree tree;
  ztest::RegistrySandbox registry_;
  ztest::EnvOverride driver_;
  ztest::EnvOverride output_;
  ztest::ScopedScriptedConnections fake_;
  ZARezodudParams params = tree.params();
};

TEST_F(SelectionStateTest, FunctionMapQueryAndRows) {
  auto& reply = fake_.script().reply();
  reply.rows = {{std::string("getcount")}, {std::string("getsize")}};
  INIFileProcessor processor(params, 0);
  ASSERT_EQ(processor.populateFuncMapINI("Corehub"), 1u);
  EXPECT_EQ(processor.getFuncMap().size(), 2u);
  EXPECT_EQ(fake_.script().texts.at(0),
            "SELECT V.name FROM sysobjects S, QXDBVersions V WHERE S.name = V.name AND datediff(second, "
            "'01/01/1970', S.crdate) > (SELECT StepNo FROM [Corehub]..PatchDBSPInfo) AND S.xType IN('FN')");

  fake_.script().reply().rows = {{std::string("usp_a")}};
  ASSERT_EQ(processor.populateSPMapINI("Corehub"), 1u);
  EXPECT_NE(fake_.script().texts.at(1).find("S.xType IN('P')"), std::string::npos);
  EXPECT_EQ(processor.getSPMap().count("usp_a"), 1u);
}

TEST_F(SelectionStateTest, DatabaseNameThatIsNotPlainIsNeverPutIntoTheQuery) {
  ztest::UpgradeLogCapture log;
  INIFileProcessor processor(params, 0);
  EXPECT_EQ(processor.populateFuncMapINI("x..T) DROP TABLE QXDBVersions --"), 0u);
  EXPECT_EQ(processor.populateSPMapINI("Corehub;Database=Other"), 0u);
  EXPECT_TRUE(fake_.script().texts.empty()) << fake_.script().texts.at(0);
  ASSERT_EQ(processor.populateFuncMapINI("1hub"), 1u);
  EXPECT_NE(fake_.script().texts.at(0).find("FROM [1hub]..PatchDBSPInfo"), std::string::npos);
}

TEST_F(SelectionStateTest, FailedQueryIsReported) {
  ztest::UpgradeLogCapture log;
  fake_.script().failNext("Invalid object name 'QXDBVersions'.");
  INIFileProcessor processor(params, 0);
  EXPECT_EQ(processor.populateFuncMapINI("Corehub"), 0u);
  EXPECT_TRUE(log.contains("dbObject->populateSPFuncMap failed to populate m_SPFuncMap."));

  params.setProductName("Unknown");
  INIFileProcessor noProduct(params, 0);
  EXPECT_EQ(noProduct.populateSPMapINI("Corehub"), 0u);
  EXPECT_TRUE(log.contains("Initialzing dbObject failed."));
}

TEST_F(SelectionStateTest, DBFunctionSubModuleRunsOnlyWhatItMust) {
  tree.addPhaseConfig(
      "[Upgrade]\nSubModuleSections=DBFunction\n"
      "[DBFunction]\nDirectory=fn\nPreCommandType=SQL\nPreCommand-CurRelListFileName=fn.lst\n");
  tree.addList("fn", "fn.lst", {"getcount.sql", "getsize.sql", "exact.sql", "newer.sql"});
  const auto setTime = [&](const char* name, time_t t) {
    struct utimbuf times = {t, t};
    ASSERT_EQ(utime(tree.path(std::string("config/fn/") + name).c_str(), &times), 0);
  };
  setTime("getcount.sql", 1000);
  setTime("getsize.sql", 1000);
  setTime("exact.sql", 5000);
  setTime("newer.sql", 9000);
  tree.write("media/DVDInfo.txt", "11.0.0:SP3:5000\n");
  params.setDatabaseScriptsDir(tree.path("media/Database"));

  INIFileProcessor processor(params, 0);
  ASSERT_EQ(processor.validatePhase("Upgrade"), 1u);
  ASSERT_EQ(processor.getRecutTimeFromDVDInfo(16, 3), 1u);
  fake_.script().reply().rows = {{std::string("getcount")}};
  ASSERT_EQ(processor.populateFuncMapINI("Corehub"), 1u);

  ztest::UpgradeLogCapture log;
  RKZARezodud::ProcessPhase record;
  int code = -1;
  EXPECT_EQ(processor.processPhase("Upgrade", code, record), 1u);
  EXPECT_EQ(code, 0);
  std::vector<std::string> ran;
  for (const std::string& text : fake_.script().texts) {
    const size_t marker = text.find("-- ");
    if (marker != std::string::npos)
      ran.push_back(text.substr(marker + 3, text.find('\n', marker) - marker - 3));
  }
  EXPECT_EQ(ran, (std::vector<std::string>{"getcount.sql", "exact.sql", "newer.sql"}));
  EXPECT_TRUE(log.contains(tree.path("config/fn/getsize.sql") +
                           " is not getting executed as it is not modified for this SP."));
  EXPECT_TRUE(log.contains("Phase:DBFunction, NormalCount:4, NotRunCount:1"));
}

}  // namespace
