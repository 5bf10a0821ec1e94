// The Debian package: cpack builds it from the build tree, dpkg -x unpacks it into a
// temporary root, and a tiny consumer project finds the library there with
// find_package(Zarezodud) and runs; pkg-config finds it too. The command, the headers and
// the systemd units must be in the package.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/command_runner.h"
#include "support/temp_dir.h"

namespace {

ztest::CommandResult shell(const std::string& command, const std::string& cwd = std::string()) {
  ztest::CommandSpec invocation;
  invocation.program = "/bin/sh";
  invocation.args = {"-c", command};
  invocation.cwd = cwd;
  return ztest::runCommand(invocation);
}

std::string findDeb(const std::string& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".deb") return entry.path().string();
  }
  return std::string();
}

TEST(PackageTest, DebianPackageInstallsLibraryCommandAndCMakePackage) {
  const std::string build = ZAREZODUD_BINARY_DIR;
  if (!ztest::fileExists(build + "/CPackConfig.cmake")) GTEST_SKIP() << "no CPackConfig.cmake in " << build;
  if (shell("command -v cpack && command -v dpkg && command -v cmake").exitCode != 0) {
    GTEST_SKIP() << "cpack, dpkg or cmake missing";
  }
  ztest::TempDir dir;
  const auto packed = shell("cpack -G DEB -B '" + dir.file("pkg") + "'", build);
  ASSERT_EQ(packed.exitCode, 0) << packed.out << packed.err;
  const std::string deb = findDeb(dir.file("pkg"));
  ASSERT_FALSE(deb.empty()) << packed.out;
  const std::string root = dir.file("root");
  const auto unpacked = shell("dpkg -x '" + deb + "' '" + root + "'");
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;

  for (const char* file : {"usr/bin/zarezodud", "usr/include/zarezodud/engine/ini_file_processor.h",
                           "usr/include/zarezodud/export.h", "usr/lib/systemd/system/zarezodud-dumps.timer",
                           "usr/lib/systemd/system/zarezodud-dumps.service"}) {
    EXPECT_TRUE(ztest::fileExists(root + "/" + file)) << file;
  }
  const auto config = shell(
      "find '" + root + "' -name ZarezodudConfig.cmake -o -name zarezodud.pc -o -name 'libzarezodud.so*'");
  EXPECT_NE(config.out.find("ZarezodudConfig.cmake"), std::string::npos) << config.out;
  EXPECT_NE(config.out.find("zarezodud.pc"), std::string::npos);
  EXPECT_NE(config.out.find("libzarezodud.so.1"), std::string::npos);

  dir.write("consumer/CMakeLists.txt",
            "cmake_minimum_required(VERSION 3.20)\nproject(Consumer CXX)\nset(CMAKE_CXX_STANDARD 17)\n"
            "find_package(Zarezodud REQUIRED)\nadd_executable(consumer main.cc)\n"
            "target_link_libraries(consumer PRIVATE Zarezodud::zarezodud)\n");
  dir.write("consumer/main.cc",
            "#include \"db/return_codes.h\"\n"
            "int main() { return isWarningCode(101) && isErrorCode(2) && !isErrorCode(0) ? 0 : 3; }\n");
  const auto configured =
      shell("cmake -S consumer -B consumer/build -DCMAKE_PREFIX_PATH='" + root + "/usr'", dir.path());
  ASSERT_EQ(configured.exitCode, 0) << configured.out << configured.err;
  const auto built = shell("cmake --build consumer/build", dir.path());
  ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
  const auto ran = shell("LD_LIBRARY_PATH=\"$(dirname \"$(find '" + root +
                             "' -name 'libzarezodud.so.1' | head -n 1)\")\" consumer/build/consumer",
                         dir.path());
  EXPECT_EQ(ran.exitCode, 0) << ran.err;

  const auto flags = shell("PKG_CONFIG_PATH=\"$(dirname \"$(find '" + root +
                           "' -name zarezodud.pc | head -n 1)\")\" pkg-config --cflags --libs zarezodud");
  ASSERT_EQ(flags.exitCode, 0) << flags.err;
  EXPECT_NE(flags.out.find("/include/zarezodud"), std::string::npos) << flags.out;
  EXPECT_NE(flags.out.find("-lzarezodud"), std::string::npos);
}

}  // namespace
