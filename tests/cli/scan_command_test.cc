// zarezodud scan on its own: it reads the script output file where it is (no scratch copy),
// writes the record's XML form as it goes, and stays within a few times the file's size in
// memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "log/result_messages.h"
#include "log/utility_logger.h"
#include "support/cli_installation.h"
#include "support/temp_dir.h"

namespace {

using ztest::CliInstallation;

// A script output of `records` records with messages, advice and rows, written in pieces.
void writeScriptOutput(const std::string& path, int records) {
  std::ofstream out(path, std::ios::binary);
  std::string chunk;
  for (int i = 0; i < records; ++i) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "12/%02d/26 10:%02d:%02d ", 1 + i % 28, (i / 60) % 60, i % 60);
    chunk += stamp;
    chunk += "SQLState:[42000] NativeError:[50000] Message:[";
    switch (i % 8) {
      case 0:
        chunk += "###ERROR### Table T" + std::to_string(i) + " could not be changed";
        break;
      case 1:
        chunk += "###ADVICE### Run the job again";
        break;
      case 2:
        chunk += "###HEADER### Name:,:Rows";
        break;
      case 3:
      case 4:
        chunk += "###DATA### t" + std::to_string(i) + ":,:" + std::to_string(i * 7);
        break;
      case 5:
        chunk += "###WARNING### Index IX" + std::to_string(i) + " was rebuilt";
        break;
      default:
        chunk += "Changed database context to 'Corehub'.";
        break;
    }
    chunk += "] [RecNum:1, LineNum:" + std::to_string(i % 900) + "]\n";
    if (chunk.size() > 65536) {
      out << chunk;
      chunk.clear();
    }
  }
  out << chunk;
}

TEST(ScanCommand, ReadsTheFileWhereItIsWithoutAScratchDirectory) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const std::string file =
      inst.write("readonly/out.txt",
                 "12/07/26 10:00:01 SQLState:[01000] NativeError:[0] Message:[###ERROR### "
                 "disk full] [RecNum:1, LineNum:4]\n");
  chmod(file.c_str(), 0444);
  chmod(inst.path("readonly").c_str(), 0555);
  // No temporary directory can be made: the file is read in place.
  const auto result = inst.run({"scan", "readonly/out.txt"}, "", {{"TMPDIR", inst.path("no/such/dir")}});
  chmod(inst.path("readonly").c_str(), 0755);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("disk full"), std::string::npos) << result.out;
}

TEST(ScanCommand, WritesTheRecordsXmlForm) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const std::string file = inst.path("big.txt");
  writeScriptOutput(file, 20000);  // about 1 MB of XML, written in many pieces
  const auto result = inst.run({"scan", "big.txt"});
  ASSERT_EQ(result.exitCode, 0) << result.err;

  RKZARezodud::Script expected;
  expected.setName("big");
  UtilityLogger::GetXMLMsgFromFile(file, expected);
  ASSERT_EQ(expected.errors().size(), 5000u);
  expected.setDescription("big");  // no description marker: the name stands for it
  const std::string text = expected.serialize();
  ASSERT_EQ(result.out.size(), text.size());
  EXPECT_TRUE(result.out == text);  // a megabyte: no textual difference report
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZAREZODUD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZAREZODUD_SANITIZED 1
#endif
#endif

#ifndef ZAREZODUD_SANITIZED
// The peak resident memory of the command scanning file, from wait4().
long peakBytes(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return usage.ru_maxrss * 1024;
}
#endif

TEST(ScanCommand, PeakMemoryStaysWithinThreeTimesTheFile) {
#ifdef ZAREZODUD_SANITIZED
  GTEST_SKIP() << "sanitizers change the command's memory use";
#else
  ztest::TempDir dir;
  const std::string file = dir.file("out.txt");
  writeScriptOutput(file, 320000);
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  const long size = static_cast<long>(info.st_size);
  ASSERT_GT(size, 30L * 1000 * 1000);
  for (const bool json : {false, true}) {
    std::vector<std::string> args = {ZAREZODUD_CLI_PATH, "scan", file};
    if (json) args.push_back("--json");
    const long peak = peakBytes(args);
    ASSERT_GT(peak, 0);
    EXPECT_LE(peak, 3 * size) << (json ? "JSON" : "XML") << ": peak " << peak << " bytes for a file of "
                              << size;
  }
#endif
}

}  // namespace
