// Hostile and broken input on disk: configuration, list, registry and media files that are
// damaged, and logs written while the disk is full. Each must fail with a message naming the
// file, never crash, and never leave a half-written file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "config/ini_file_reader.h"
#include "config/profile_store.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "log/utility_logger.h"
#include "platform/registry/registry_file.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"
#include "support/temp_dir.h"

namespace {

using zarezodud::ListFileReader;

std::vector<std::string> entriesOf(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs body in a child whose files may not grow beyond limitBytes, with SIGXFSZ ignored so that
// writes fail with EFBIG instead of killing the process. Returns the child's exit code.
template <class Body>
int withFileSizeLimit(rlim_t limitBytes, Body body) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {limitBytes, limitBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Empty and sectionless files read as missing keys; a binary file (NUL bytes in its lines) is a
// read error rather than text cut at its NULs.
TEST(BadConfigurationFile, EmptyBinaryAndSectionlessFilesGiveDefaultsOrAReadErrorWithoutCrashing) {
  ztest::TempDir dir;
  INIFileReader reader;
  const std::string binary(
      "\x7f"
      "ELF\x02\x01\x01\0\0\0[Phase1]\0k=v\n\xff\xfe=\x80\n",
      26);
  for (const std::string& content : {std::string(), binary, std::string("k=v\nother=1\n")}) {
    reader.setINIFileName(dir.write("broken.ini", content));
    std::string value = "untouched";
    EXPECT_EQ(reader.readKeyValue("k", "Phase1", value),
              content == binary ? PROFILE_READ_ERROR : PROFILE_SUCCESS);
    EXPECT_EQ(value, "");
    EXPECT_FALSE(reader.sectionExists("Phase1"));
  }
  char flag = 1;
  EXPECT_EQ(GetProfileBoolean("Phase1", "k", 1, &flag, dir.file("broken.ini").c_str()), PROFILE_SUCCESS);
  EXPECT_EQ(flag, 1);
}

TEST(BadConfigurationFile, OverLongLinesAreRefusedAndDuplicateSectionsKeepTheFirst) {
  ztest::TempDir dir;
  INIFileReader reader;
  const std::string longLine = "k=" + std::string(100000, 'v');
  reader.setINIFileName(dir.write("long.ini", "[S]\n" + longLine + "\nafter=1\n[S]\nk=second\n"));
  std::string value;
  // The over-long line is no entry: the key is looked up no further than its own section.
  EXPECT_EQ(reader.readKeyValue("after", "S", value), PROFILE_SUCCESS);
  EXPECT_EQ(value, "1");
  // The key's own line cannot be read as an entry: an error, not an empty value.
  EXPECT_EQ(reader.readKeyValue("k", "S", value), PROFILE_TOO_LONG);
  EXPECT_EQ(reader.getKeyValue("k", "S"), "");
  EXPECT_EQ(GetProfileLong("S", "after", 7, reader.getINIFileName().c_str()), 1);

  // A write into such a file keeps its lines and changes only the first section.
  ASSERT_EQ(reader.setKeyValue("new", "added", "S"), 1u);
  const std::string text = ztest::readFile(reader.getINIFileName());
  EXPECT_NE(text.find(longLine + "\n"), std::string::npos);
  EXPECT_EQ(reader.getKeyValue("added", "S"), "new");
  EXPECT_NE(text.find("[S]\nk=second\n"), std::string::npos);
  EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"long.ini"});
}

TEST(BadListFile, DirectoriesNulBytesAndLongLinesFailWithTheFileNamed) {
  ztest::TempDir dir;
  std::vector<std::string> entries;
  std::string error;
  std::filesystem::create_directory(dir.file("phase.lst"));
  EXPECT_FALSE(ListFileReader::readAll(dir.file("phase.lst"), entries, &error));
  EXPECT_EQ(error, "List file [" + dir.file("phase.lst") + "] is a directory, not a regular file.");

  const std::string withNul = dir.write("nul.lst", std::string("a.sql\nb\0.sql\nc.sql\n", 19));
  EXPECT_FALSE(ListFileReader::readAll(withNul, entries, &error));
  EXPECT_EQ(entries, std::vector<std::string>{"a.sql"});
  EXPECT_EQ(error, "List file [" + withNul + "] holds a NUL byte on line 2.");

  const std::string longLine = dir.write("long.lst", "a.sql\n" + std::string(1 << 20, 'x') + "\nb.sql\n");
  EXPECT_FALSE(ListFileReader::readAll(longLine, entries, &error));
  EXPECT_NE(error.find("[" + longLine + "] has a line longer than"), std::string::npos) << error;

  EXPECT_FALSE(ListFileReader::readAll(dir.file("absent.lst"), entries, &error));
  EXPECT_NE(error.find(dir.file("absent.lst")), std::string::npos) << error;
}

TEST(BadListFile, LinksAreFollowedAndLoopsFail) {
  ztest::TempDir dir;
  const std::string real = dir.write("real.lst", "one.sql\n");
  std::filesystem::create_symlink(real, dir.file("link.lst"));
  std::filesystem::create_symlink(dir.file("loop2.lst"), dir.file("loop1.lst"));
  std::filesystem::create_symlink(dir.file("loop1.lst"), dir.file("loop2.lst"));
  std::vector<std::string> entries;
  std::string error;
  EXPECT_TRUE(ListFileReader::readAll(dir.file("link.lst"), entries, &error)) << error;
  EXPECT_EQ(entries, std::vector<std::string>{"one.sql"});
  EXPECT_FALSE(ListFileReader::readAll(dir.file("loop1.lst"), entries, &error));
  EXPECT_NE(error.find("[" + dir.file("loop1.lst") + "] cannot be opened"), std::string::npos) << error;
}

TEST(BadListFile, UnreadableFileFailsWithTheFileNamed) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop reading";
  ztest::TempDir dir;
  const std::string path = dir.write("secret.lst", "a.sql\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  std::vector<std::string> entries;
  std::string error;
  EXPECT_FALSE(ListFileReader::readAll(path, entries, &error));
  EXPECT_EQ(error, "List file [" + path + "] cannot be opened: Permission denied.");
}

TEST(BadListFile, NamesLeavingThePhaseDirectoryOrNamingDirectoriesAreReported) {
  ztest::PhaseTree tree;
  ztest::UpgradeLogCapture log;
  const std::string phase = tree.path("phase1");
  tree.write("phase1/ok.sql", "SELECT 1\n");
  std::filesystem::create_directories(tree.path("phase1/folder.sql"));
  tree.write("phase1/scripts.lst", "/ok.sql\n../../etc/passwd.sql\n/nowhere/abs.sql\n");
  INIFileProcessor processor(tree.params(), 0);
  EXPECT_EQ(processor.checkFileExists("Phase1", "SQL", phase, "scripts.lst"), 0u);
  // An absolute name is taken inside the phase directory, never from the root.
  EXPECT_FALSE(log.contains("[" + phase + "//ok.sql] does not exist"));
  EXPECT_TRUE(log.contains("Script File [" + phase + "/../../etc/passwd.sql] does not exist."));
  EXPECT_TRUE(log.contains("Script File [" + phase + "//nowhere/abs.sql] does not exist."));

  // A directory named as a script fails validation instead of failing when it is run.
  tree.write("phase1/dir.lst", "ok.sql\nfolder.sql\n");
  EXPECT_EQ(processor.checkFileExists("Phase1", "SQL", phase, "dir.lst"), 0u);
  EXPECT_TRUE(log.contains("Script File [" + phase + "/folder.sql] is a directory, not a regular file."));
  // A directory named as the list file itself.
  EXPECT_EQ(processor.checkFileExists("Phase1", "SQL", phase, "folder.sql"), 0u);
  EXPECT_TRUE(log.contains("List file [" + phase + "/folder.sql] is a directory, not a regular file."));
}

TEST(BadRegistryFile, HandEditedNonsenseIsReportedAndKeptOnRewrite) {
  ztest::TempDir dir;
  const std::string path =
      dir.write("default.reg", std::string("[Base\\Database]\nsDSN=s:prod\n"
                                           "[[[unclosed\nthis is not a value\n"
                                           "nNumber=n:#123abc\n\0\xff\xfe\n[Good]\nn=n:5\n",
                                           95));
  zarezodud::RegistryFile file(path);
  zarezodud::RegistryContent content;
  std::string error;
  ASSERT_TRUE(file.load(&content, &error)) << error;
  EXPECT_FALSE(content.problems.empty());
  EXPECT_EQ(content.keys["Good"]["n"], zarezodud::RegistryValue::ofNumber(5));

  ASSERT_TRUE(file.update(
      [](zarezodud::RegistryContent* c, std::string*) {
        c->keys["Good"]["m"] = zarezodud::RegistryValue::ofNumber(6);
        return true;
      },
      &error))
      << error;
  const std::string text = ztest::readFile(path);
  EXPECT_NE(text.find("#! ignored: this is not a value"), std::string::npos) << text;
  zarezodud::RegistryContent again;
  ASSERT_TRUE(file.load(&again, &error)) << error;
  EXPECT_EQ(again.keys["Good"]["n"], zarezodud::RegistryValue::ofNumber(5));
  EXPECT_EQ(again.keys["Good"]["m"], zarezodud::RegistryValue::ofNumber(6));
  EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"default.reg", "default.reg.lock"}));
}

TEST(BadMediaFile, TruncatedTextAndXmlFailWithoutARecutTime) {
  ztest::PhaseTree tree;
  ZARezodudParams params = tree.params();
  params.setDatabaseScriptsDir(tree.path("media/Database"));
  ztest::UpgradeLogCapture log;

  tree.write("media/DVDInfo.txt", "11.0.0:SP15:1500\n11.0.0:SP16:");
  INIFileProcessor text(params, 0);
  EXPECT_EQ(text.getRecutTimeFromDVDInfo(16, 16), 1u);
  EXPECT_EQ(text.getRecutTime(), 1500);  // the cut line gives nothing; the smaller pack's time holds

  // The text form is read leniently: a file cut before its first time field yields no time.
  tree.write("media/DVDInfo.txt", "11.0.0:SP1");
  INIFileProcessor cut(params, 0);
  EXPECT_EQ(cut.getRecutTimeFromDVDInfo(16, 16), 1u);
  EXPECT_EQ(cut.getRecutTime(), 0);

  const std::string xml =
      "<?xml version=\"1.0\"?>\n<message group=\"23\" kind=\"169\">\n  <field number=\"1\" type=\"list\">\n"
      "    <message group=\"23\" kind=\"170\">\n      <field number=\"1\" type=\"object\">\n";
  for (size_t length : {xml.size(), xml.size() / 2, size_t{3}, size_t{0}}) {
    tree.write("media/DVDInfo.xml", xml.substr(0, length));
    INIFileProcessor processor(params, 0);
    EXPECT_EQ(processor.getRecutTimeFromDVDInfo(16, 17), 0u) << length;
    EXPECT_EQ(processor.getRecutTime(), 0);
    EXPECT_TRUE(log.contains("DVDInfo.xml in [" + tree.path("media") + "] cannot be read")) << length;
  }
}

TEST(FullDisk, LogLinesThatDoNotFitFailWholeAndLeaveNoPartLine) {
  ztest::TempDir dir;
  const std::string log = dir.file("phase.log");
  const std::string first(100, 'a');
  const int code = withFileSizeLimit(300, [&] {
    if (UtilityLogger::LogToFile(first, log) != 0) return 1;
    // Far past the limit: nothing of it may stay.
    if (UtilityLogger::LogToFile(std::string(1000, 'b'), log) != -1) return 2;
    UtilityLogger::SetLogFileName(dir.file("utility.log").c_str());
    if (UtilityLogger::LogLine(std::string(1000, 'c')) != -1) return 3;
    return 0;
  });
  EXPECT_EQ(code, 0);
  const std::string text = ztest::readFile(log);
  EXPECT_EQ(text.find('b'), std::string::npos);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.find("## " + first + "\n"), std::string::npos);
  EXPECT_EQ(ztest::readFile(dir.file("utility.log")), "");
}

TEST(FullDisk, RegistryAndProfileWritesLeaveTheOldFileAndNoTemporaryFile) {
  ztest::TempDir dir;
  zarezodud::RegistryFile registry(dir.file("default.reg"));
  std::string error;
  ASSERT_TRUE(registry.update(
      [](zarezodud::RegistryContent* c, std::string*) {
        c->keys["K"]["v"] = zarezodud::RegistryValue::ofString("old");
        return true;
      },
      &error));
  const std::string ini = dir.write("p.ini", "[S]\nk=old\n");
  const std::string registryBefore = ztest::readFile(registry.path());

  const int code = withFileSizeLimit(200, [&] {
    std::string why;
    const bool updated = registry.update(
        [](zarezodud::RegistryContent* c, std::string*) {
          c->keys["K"]["v"] = zarezodud::RegistryValue::ofString(std::string(5000, 'n'));
          return true;
        },
        &why);
    if (updated || why.find(dir.path()) == std::string::npos) return 1;
    if (SetProfileString("S", "k", std::string(250, 'n').c_str(), ini.c_str()) != PROFILE_WRITE_ERROR)
      return 2;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ztest::readFile(registry.path()), registryBefore);
  EXPECT_EQ(ztest::readFile(ini), "[S]\nk=old\n");
  EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"default.reg", "default.reg.lock", "p.ini"}));
}

}  // namespace
