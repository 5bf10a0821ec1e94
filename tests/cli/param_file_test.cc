// Loading the parameter file: keys, path resolution, overrides, limits and the password rules.
#include "param_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/env_override.h"
#include "support/temp_dir.h"

namespace {

using zcli::loadParamFile;

TEST(ParamFileTest, ReadsKeysAndResolvesRelativePathsAgainstTheFile) {
  ztest::TempDir dir;
  ztest::EnvOverride noPassword("ZAREZODUD_PASSWORD");
  const std::string file = dir.write("conf/params.ini",
                                     "; comment\n[Other]\nproductName = ignored\n[Parameters]\n"
                                     "productName = Corehub\r\ndbname=Main\nconfigFile = phases.ini\n"
                                     "logfile = /var/log/zz/upgrade.log\ncommonScriptsDir = ../common\n"
                                     "currentReleaseId = 15\nisServicePackUpgrade = TRUE\nisRTMBuild = no\n"
                                     "xmlOutput = 2\n");
  const auto loaded = loadParamFile(file, {});
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const ZARezodudParams& p = *loaded.params;
  EXPECT_EQ(p.productName(), "Corehub");
  EXPECT_EQ(p.DBname(), "Main");
  EXPECT_EQ(p.configFile(), dir.path() + "/conf/phases.ini");
  EXPECT_EQ(p.logfile(), "/var/log/zz/upgrade.log");
  EXPECT_EQ(p.commonScriptsDir(), dir.path() + "/common");
  EXPECT_EQ(p.currentReleaseId(), 15);
  EXPECT_TRUE(p.isServicePackUpgrade());
  EXPECT_FALSE(p.isRTMBuild());
  EXPECT_EQ(p.xmlOutput(), 2);
}

TEST(ParamFileTest, OverridesReplaceFileValues) {
  ztest::TempDir dir;
  const std::string file = dir.write("p.ini", "[Parameters]\nDBname = A\ncurrentReleaseId = 16\n");
  const auto loaded = loadParamFile(file, {"DBname=B", "currentReleaseId=14", "configFile=/abs/phases.ini"});
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.params->DBname(), "B");
  EXPECT_EQ(loaded.params->currentReleaseId(), 14);
  EXPECT_EQ(loaded.params->configFile(), "/abs/phases.ini");
}

TEST(ParamFileTest, OverLongValuesAreRefusedNotCut) {
  ztest::TempDir dir;
  const std::string longValue(2048, 'x');
  const std::string file = dir.write("p.ini", "[Parameters]\nDBname = " + longValue + "\n");
  const auto fromFile = loadParamFile(file, {});
  EXPECT_FALSE(fromFile.ok);
  EXPECT_EQ(fromFile.exitCode, 2);
  EXPECT_NE(fromFile.error.find(file + ":2"), std::string::npos) << fromFile.error;
  EXPECT_NE(fromFile.error.find("2047"), std::string::npos);

  const std::string ok = dir.write("q.ini", "[Parameters]\nDBname = " + std::string(2047, 'y') + "\n");
  const auto fits = loadParamFile(ok, {});
  ASSERT_TRUE(fits.ok) << fits.error;
  EXPECT_EQ(fits.params->DBname().size(), 2047u);

  const auto fromSet = loadParamFile(ok, {"productName=" + longValue});
  EXPECT_FALSE(fromSet.ok);
  EXPECT_NE(fromSet.error.find("productName"), std::string::npos);
}

TEST(ParamFileTest, PasswordComesFromTheEnvironmentNeverFromSet) {
  ztest::TempDir dir;
  const std::string file = dir.write("p.ini", "[Parameters]\npassword = fromfile\n");
  {
    ztest::EnvOverride env("ZAREZODUD_PASSWORD", "fromenv");
    const auto loaded = loadParamFile(file, {});
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.params->password(), "fromenv");
  }
  ztest::EnvOverride none("ZAREZODUD_PASSWORD");
  EXPECT_EQ(loadParamFile(file, {}).params->password(), "fromfile");
  const auto viaSet = loadParamFile(file, {"password=onthecommandline"});
  EXPECT_FALSE(viaSet.ok);
  EXPECT_EQ(viaSet.exitCode, 64);
  EXPECT_EQ(viaSet.error.find("onthecommandline"), std::string::npos);
}

TEST(ParamFileTest, FaultsNameTheFileAndLine) {
  ztest::TempDir dir;
  struct Case {
    const char* content;
    const char* expected;
  } cases[] = {
      {"[Parameters]\nnoSuchKey = 1\n", ":2: unknown key [noSuchKey]"},
      {"[Parameters]\nisRTMBuild = maybe\n", ":2: [isRTMBuild] must be true or false"},
      {"[Parameters]\ncurrentReleaseId = 16x\n", ":2: [currentReleaseId] must be a whole number"},
      {"[Parameters]\njust text\n", ":2: expected key=value"},
      {"[Other]\nDBname = x\n", "no [Parameters] section"},
  };
  for (const Case& c : cases) {
    const std::string file = dir.write("bad.ini", c.content);
    const auto loaded = loadParamFile(file, {});
    EXPECT_FALSE(loaded.ok) << c.content;
    EXPECT_EQ(loaded.exitCode, 2);
    EXPECT_NE(loaded.error.find(c.expected), std::string::npos) << loaded.error;
    EXPECT_EQ(loaded.error.rfind(file, 0), 0u) << loaded.error;
  }
  EXPECT_EQ(loadParamFile(dir.file("missing.ini"), {}).exitCode, 2);
  const std::string good = dir.write("good.ini", "[Parameters]\n");
  const auto badSet = loadParamFile(good, {"novalue"});
  EXPECT_EQ(badSet.exitCode, 64);
}

}  // namespace

namespace {

TEST(ParamFileTest, ScriptKeysSayHowScriptsAreReadAndVariablesAccumulate) {
  ztest::TempDir dir;
  const std::string file = dir.write(
      "p.ini", "[Parameters]\nDBname = A\nScriptCodePage = 1252\nSqlcmdVariables = db=Main; path=a;;b\n");
  auto loaded = loadParamFile(file, {"SqlcmdVariables=db=Other", "scriptcodepage=ISO-8859-1"});
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.scripts.codePage, "ISO-8859-1");
  EXPECT_TRUE(loaded.scripts.sqlcmdMode);
  EXPECT_EQ(loaded.scripts.variables, (std::vector<std::pair<std::string, std::string>>{
                                          {"db", "Main"}, {"path", "a;b"}, {"db", "Other"}}));
  EXPECT_EQ(loaded.params->DBname(), "A");

  // Without the keys: no code page, the mode off. An empty list turns the mode on.
  loaded = loadParamFile(dir.write("q.ini", "[Parameters]\nDBname = A\n"), {});
  ASSERT_TRUE(loaded.ok);
  EXPECT_FALSE(loaded.scripts.sqlcmdMode);
  EXPECT_EQ(loaded.scripts.codePage, "");
  loaded = loadParamFile(dir.file("q.ini"), {"SqlcmdVariables="});
  EXPECT_TRUE(loaded.scripts.sqlcmdMode);

  loaded = loadParamFile(dir.write("r.ini", "[Parameters]\nSqlcmdVariables = a=1;2b=3\n"), {});
  EXPECT_FALSE(loaded.ok);
  EXPECT_NE(
      loaded.error.find(dir.file("r.ini") + ":2: [SqlcmdVariables] [2b] is not a scripting variable name"),
      std::string::npos)
      << loaded.error;
  loaded = loadParamFile(dir.file("q.ini"), {"ScriptCodePage=no-such-page"});
  EXPECT_FALSE(loaded.ok);
  EXPECT_NE(loaded.error.find("--set: [ScriptCodePage] code page [no-such-page] is not known"),
            std::string::npos)
      << loaded.error;
}

using namespace std::string_literals;

TEST(ParamFileTest, NulByteIsRefusedWithItsLineInsteadOfCuttingTheValue) {
  ztest::TempDir dir;
  ztest::EnvOverride noPassword("ZAREZODUD_PASSWORD");
  const std::string file = dir.write("p.ini", "[Parameters]\nDBname = A\nuserId = s\0a\nlogfile = l\n"s);
  const auto loaded = loadParamFile(file, {});
  EXPECT_FALSE(loaded.ok);
  EXPECT_EQ(loaded.exitCode, 2);
  EXPECT_EQ(loaded.error, file + ":3: the line holds a NUL byte. Remove it (values are never cut at one).");
}

TEST(ParamFileTest, ByteOrderMarkIsSkipped) {
  ztest::TempDir dir;
  const std::string file = dir.write("p.ini", "\xEF\xBB\xBF[Parameters]\nDBname = A\n");
  const auto loaded = loadParamFile(file, {});
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.params->DBname(), "A");
}

TEST(ParamFileTest, AKeyGivenTwiceIsRefusedWithBothLines) {
  ztest::TempDir dir;
  // Keys compare ignoring case, as lookups do; a second [Parameters] section is the same one.
  const std::string file = dir.write(
      "p.ini", "[Parameters]\nuserId = sa\nDBname = A\n[Other]\nuserId = x\n[Parameters]\nUSERID = s\n");
  const auto loaded = loadParamFile(file, {});
  EXPECT_FALSE(loaded.ok);
  EXPECT_EQ(loaded.exitCode, 2);
  EXPECT_EQ(loaded.error,
            file + ":7: [userId] is given again; it was first given on line 2. Keep one of the two.");
  // --set overrides are not duplicates: they are meant to replace the file's value.
  const std::string once = dir.write("q.ini", "[Parameters]\nDBname = A\n");
  const auto overridden = loadParamFile(once, {"DBname=B"});
  ASSERT_TRUE(overridden.ok) << overridden.error;
  EXPECT_EQ(overridden.params->DBname(), "B");
}

TEST(ParamFileTest, AParameterFileThatIsNotARegularFileIsRefusedAtOnce) {
  ztest::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
  const auto loaded = loadParamFile(dir.file("fifo.ini"), {});
  EXPECT_FALSE(loaded.ok);
  EXPECT_EQ(loaded.exitCode, 2);
  EXPECT_NE(loaded.error.find("is a FIFO, not a regular file."), std::string::npos) << loaded.error;
}

}  // namespace
