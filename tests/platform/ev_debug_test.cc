#include "platform/ev_debug.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/czu_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Sets ZAREZODUD_DEBUG_LEVEL for one test and puts the previous value back afterwards.
class ScopedDebugLevelEnv {
 public:
  explicit ScopedDebugLevelEnv(const char* value) {
    const char* old = std::getenv(kName);
    if (old != nullptr) saved_ = old, hadValue_ = true;
    if (value == nullptr) {
      unsetenv(kName);
    } else {
      setenv(kName, value, 1);
    }
  }
  ~ScopedDebugLevelEnv() {
    if (hadValue_) {
      setenv(kName, saved_.c_str(), 1);
    } else {
      unsetenv(kName);
    }
  }

 private:
  static constexpr const char* kName = "ZAREZODUD_DEBUG_LEVEL";
  std::string saved_;
  bool hadValue_ = false;
};

TEST(CZuLogger, WritesTheLineLayoutAndTakesNothingForAFormat) {
  ztest::TempDir dir;
  CZuLogger log;
  ASSERT_EQ(log.open(dir.file("a.log"), 10, 3), 0);
  log.write(4, "Class::method", "value %s %n %d {} {0}");
  log.write(2, nullptr, "no context");
  log.write(2, "", "empty context");

  const auto lines = linesOf(ztest::readFile(dir.file("a.log")));
  ASSERT_EQ(lines.size(), 3u);
  const std::string pid = std::to_string(getpid());
  const std::regex head("^" + pid + " [0-9]+ [0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_search(line, head)) << line;
  EXPECT_EQ(lines[0].substr(lines[0].find(" 4 ")), " 4 Class::method value %s %n %d {} {0}");
  EXPECT_EQ(lines[1].substr(lines[1].find(" 2 ")), " 2 no context");
  EXPECT_EQ(lines[2].substr(lines[2].find(" 2 ")), " 2 empty context");
}

TEST(CZuLogger, NamedSinkWritesNameDotLogBesideTheGivenPath) {
  ztest::TempDir dir;
  CZuLogger sink;
  ASSERT_EQ(sink.init("ScriptTime", dir.file("Upgrade.log"), 0x7FFFFFFF, false, false), 0);
  EXPECT_EQ(sink.filePath(), dir.file("ScriptTime.log"));
  sink.write(3, nullptr, "upgrade.sql - 75 secs");
  EXPECT_NE(ztest::readFile(dir.file("ScriptTime.log")).find("3 upgrade.sql - 75 secs\n"), std::string::npos);
  EXPECT_FALSE(ztest::fileExists(dir.file("Upgrade.log")));
}

TEST(CZuLogger, FailureIsReportedAndKeepsThePreviousFile) {
  ztest::TempDir dir;
  CZuLogger log;
  EXPECT_EQ(log.init("", dir.file("x.log"), 1, false, false), -1);
  EXPECT_FALSE(log.lastError().empty());
  ASSERT_EQ(log.open(dir.file("good.log"), 1, 1), 0);
  // A directory cannot be opened as a log file.
  EXPECT_EQ(log.open(dir.path(), 1, 1), -1);
  EXPECT_NE(log.lastError().find(dir.path()), std::string::npos);
  EXPECT_TRUE(log.isOpen());
  log.write(1, nullptr, "still here");
  EXPECT_NE(ztest::readFile(dir.file("good.log")).find("still here"), std::string::npos);
}

TEST(EvDebug, WritesNothingBeforeInit) {
  EvDebug log;
  EXPECT_FALSE(log.isInitialized());
  log.dbgmsg(0, "Ctx::m", -1, 0, nullptr, "dropped %d", 1);
  log.msg(0, "%s", "dropped");
  log.write(0, "Ctx::m", "dropped");
  EXPECT_EQ(log.filePath(), "");
}

TEST(EvDebug, LevelFilterPassesLevelsAtOrBelowTheLogsLevel) {
  ztest::TempDir dir;
  EvDebug log;
  ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
  log.setDebugLevel(3);
  log.dbgmsg(2, "C::m", -1, 0, nullptr, "below %d", 2);
  log.dbgmsg(3, "C::m", -1, 0, nullptr, "equal %d", 3);
  log.dbgmsg(4, "C::m", -1, 0, nullptr, "above %d", 4);
  log.msg(4, "%s", "above too");
  log.write(9, "C::m", "far above");
  const std::string text = ztest::readFile(dir.file("up.log"));
  EXPECT_NE(text.find(" 2 C::m below 2\n"), std::string::npos);
  EXPECT_NE(text.find(" 3 C::m equal 3\n"), std::string::npos);
  EXPECT_EQ(text.find("above"), std::string::npos);
  EXPECT_EQ(linesOf(text).size(), 2u);
  EXPECT_TRUE(log.passes(-1));
  EXPECT_FALSE(log.passes(4));
}

TEST(EvDebug, DefaultLevelIsFiveAndTheEnvironmentOverridesIt) {
  {
    ScopedDebugLevelEnv env(nullptr);
    EXPECT_EQ(EvDebug().getDebugLevel(), 5);
  }
  {
    ScopedDebugLevelEnv env("8");
    EXPECT_EQ(EvDebug().getDebugLevel(), 8);
    ztest::TempDir dir;
    EvDebug log;
    log.setDebugLevel(1);
    ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
    EXPECT_EQ(log.getDebugLevel(), 8);
  }
  for (const char* bad : {"", "abc", "7x", "99999999999999"}) {
    ScopedDebugLevelEnv env(bad);
    EXPECT_EQ(EvDebug::debugLevelFromEnvironment(), 5) << bad;
  }
}

TEST(EvDebug, FormatsPrintfStyleAndKeepsArgumentsLiteral) {
  ztest::TempDir dir;
  EvDebug log;
  ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
  log.dbgmsg(1, "C::m", -1, 0, nullptr, "[%s] [%d]", "50% %n {}", 42);
  const std::string long_text(5000, 'x');
  log.msg(1, "%s!", long_text.c_str());
  const std::string text = ztest::readFile(dir.file("up.log"));
  EXPECT_NE(text.find("1 C::m [50% %n {}] [42]\n"), std::string::npos);
  EXPECT_NE(text.find(" 1 " + long_text + "!\n"), std::string::npos);
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
  // The newest line is in the current file, and the oldest kept file precedes the newer one.
  EXPECT_NE(ztest::readFile(dir.file("upgrade.log")).find(" 04499 "), std::string::npos);
  const auto older = linesOf(ztest::readFile(dir.file("upgrade.2.log")));
  const auto newer = linesOf(ztest::readFile(dir.file("upgrade.1.log")));
  EXPECT_LT(older.back().substr(older.back().find("C::m")), newer.front().substr(newer.front().find("C::m")));
}

TEST(EvDebug, InstanceInitWritesThroughTheSharedSink) {
  ztest::TempDir dir;
  EvDebug log;
  EXPECT_FALSE(log.init(nullptr, 0, 0, false, ""));
  EvDebugFileInstance instance;
  EXPECT_FALSE(log.init(&instance, 0, 0, false, ""));
  CZuLogger sink;
  instance.logger = &sink;
  EXPECT_FALSE(log.init(&instance, 0, 0, false, "")) << "sink not open yet";
  ASSERT_EQ(sink.init("ScriptTime", dir.file("Upgrade.log"), 0x7FFFFFFF, false, false), 0);
  instance.fileId = -3;
  instance.debugLevel = 2;
  ASSERT_TRUE(log.init(&instance, 0, 0, false, ""));
  EXPECT_EQ(log.getDebugLevel(), 2);
  log.msg(3, "%s", "filtered");
  log.msg(2, "%s", "kept %n");
  const std::string text = ztest::readFile(dir.file("ScriptTime.log"));
  EXPECT_EQ(text.find("filtered"), std::string::npos);
  EXPECT_NE(text.find(" 2 kept %n\n"), std::string::npos);
}

TEST(EvDebug, LinesFromManyThreadsStayWhole) {
  ztest::TempDir dir;
  EvDebug log;
  ASSERT_TRUE(log.init(0, 0, dir.file("up.log"), false, ""));
  const std::string payload(200, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&log, &payload, t] {
      for (int i = 0; i < 300; ++i) log.dbgmsg(1, "T::run", -1, 0, nullptr, "%d %s end", t, payload.c_str());
    });
  }
  for (auto& th : threads) th.join();
  const auto lines = linesOf(ztest::readFile(dir.file("up.log")));
  ASSERT_EQ(lines.size(), 1200u);
  const std::regex whole("^[0-9]+ [0-9]+ [0-9/]{5} [0-9:.]{12} 1 T::run [0-3] p{200} end$");
  for (const auto& line : lines) ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

TEST(EvDebug, ProcessNameIsThisProgram) {
  const std::string name = EvDebug::getProcessName();
  ASSERT_FALSE(name.empty());
  // The kernel keeps at most 15 characters of the name.
  EXPECT_EQ(name, std::string(program_invocation_short_name).substr(0, 15));
}

}  // namespace
}  // namespace zarezodud
