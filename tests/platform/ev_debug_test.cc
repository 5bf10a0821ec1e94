#include "platform/debuglog/ev_debug.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "platform/debuglog/czu_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

// Runs body with ZAREZODUD_DEBUG_LEVEL set to value (unset for null), then restores it.
template <class F>
void withDebugLevelEnv(const char* value, F&& body) {
  const char* old = std::getenv("ZAREZODUD_DEBUG_LEVEL");
  const std::string saved = old ? old : "";
  value ? setenv("ZAREZODUD_DEBUG_LEVEL", value, 1) : unsetenv("ZAREZODUD_DEBUG_LEVEL");
  body();
  old ? setenv("ZAREZODUD_DEBUG_LEVEL", saved.c_str(), 1) : unsetenv("ZAREZODUD_DEBUG_LEVEL");
}

TEST(CZuLogger, WritesTheLineLayoutAndTakesNothingForAFormat) {
  ztest::TempDir dir;
  CZuLogger log;
  ASSERT_EQ(log.open(dir.file("a.log"), 10, 3), 0);
  log.write(4, "Class::method", "value %s %n %d {} {0}");
  log.write(2, nullptr, "no context");
  const std::string pid = std::to_string(getpid());
  const std::regex layout("^" + pid +
                          " [0-9]+ [0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} "
                          "4 Class::method value %s %n %d \\{\\} \\{0\\}\n" +
                          pid + " [0-9]+ [0-9/]{5} [0-9:.]{12} 2 no context\n$");
  EXPECT_TRUE(std::regex_match(ztest::readFile(dir.file("a.log")), layout))
      << ztest::readFile(dir.file("a.log"));
}

TEST(CZuLogger, NamedSinkWritesBesideTheGivenPathAndFailuresKeepTheOldFile) {
  ztest::TempDir dir;
  CZuLogger sink;
  EXPECT_EQ(sink.init("", dir.file("Upgrade.log"), 1, false, false), -1);
  ASSERT_EQ(sink.init("ScriptTime", dir.file("Upgrade.log"), 0x7FFFFFFF, false, false), 0);
  EXPECT_EQ(sink.filePath(), dir.file("ScriptTime.log"));
  // A directory cannot be opened as a log file; the sink keeps writing where it was.
  EXPECT_EQ(sink.open(dir.path(), 1, 1), -1);
  EXPECT_NE(sink.lastError().find(dir.path()), std::string::npos);
  sink.write(3, nullptr, "upgrade.sql - 75 secs");
  EXPECT_NE(ztest::readFile(dir.file("ScriptTime.log")).find(" 3 upgrade.sql - 75 secs\n"),
            std::string::npos);
  EXPECT_FALSE(ztest::fileExists(dir.file("Upgrade.log")));
}

TEST(EvDebug, LevelFilterPassesLevelsAtOrBelowTheLogsLevel) {
  ztest::TempDir dir;
  EvDebug log;
  log.dbgmsg(0, "C::m", -1, 0, nullptr, "before init %d", 0);  // dropped, no crash
  EXPECT_FALSE(log.isInitialized());
  ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
  log.setDebugLevel(3);
  log.dbgmsg(2, "C::m", -1, 0, nullptr, "below [%s]", "50% %n");
  log.dbgmsg(3, "C::m", -1, 0, nullptr, "equal %d", 3);
  log.dbgmsg(4, "C::m", -1, 0, nullptr, "above %d", 4);
  log.msg(4, "%s", "above too");
  const std::string text = ztest::readFile(dir.file("up.log"));
  EXPECT_NE(text.find(" 2 C::m below [50% %n]\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" 3 C::m equal 3\n"), std::string::npos);
  EXPECT_EQ(text.find("above"), std::string::npos);
  EXPECT_EQ(text.find("before init"), std::string::npos);
}

TEST(EvDebug, DefaultLevelIsFiveAndTheEnvironmentOverridesIt) {
  withDebugLevelEnv(nullptr, [] { EXPECT_EQ(EvDebug().getDebugLevel(), 5); });
  withDebugLevelEnv("8", [] {
    ztest::TempDir dir;
    EvDebug log;
    log.setDebugLevel(1);
    ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
    EXPECT_EQ(log.getDebugLevel(), 8);
  });
  for (const char* bad : {"", "abc", "7x", "99999999999999"}) {
    withDebugLevelEnv(bad, [bad] { EXPECT_EQ(EvDebug::debugLevelFromEnvironment(), 5) << bad; });
  }
}

TEST(EvDebug, RotatesAtTheSizeLimitAndKeepsTheVersionCount) {
  ztest::TempDir dir;
  EvDebug log;
  ASSERT_TRUE(log.init(0, 0, dir.file("upgrade.log"), false, ""));
  log.setFileSizeLimit(1);
  log.setVersions(2);
  const std::string payload(1000, 'r');
  for (int i = 0; i < 4500; ++i) log.dbgmsg(1, "C::m", -1, 0, nullptr, "%05d %s", i, payload.c_str());
  for (const char* name : {"upgrade.log", "upgrade.1.log", "upgrade.2.log"}) {
    const std::string text = ztest::readFile(dir.file(name));
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_LE(text.size(), 1024u * 1024u) << name;
    EXPECT_EQ(text.back(), '\n') << name;
  }
  EXPECT_FALSE(ztest::fileExists(dir.file("upgrade.3.log")));
  EXPECT_NE(ztest::readFile(dir.file("upgrade.log")).find(" 04499 "), std::string::npos);
}

TEST(EvDebug, InstanceInitNeedsAnOpenSink) {
  EvDebug log;
  EvDebugFileInstance instance;
  EXPECT_FALSE(log.init(nullptr, 0, 0, false, ""));
  EXPECT_FALSE(log.init(&instance, 0, 0, false, ""));
  CZuLogger sink;
  instance.logger = &sink;
  EXPECT_FALSE(log.init(&instance, 0, 0, false, ""));
}

TEST(EvDebug, ProcessNameIsThisProgram) {
  // The kernel keeps at most 15 characters of the name.
  EXPECT_EQ(EvDebug::getProcessName(), std::string(program_invocation_short_name).substr(0, 15));
}

}  // namespace
}  // namespace zarezodud
