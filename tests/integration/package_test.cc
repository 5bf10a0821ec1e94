// The Debian packages: cpack builds them from the build tree and dpkg -x unpacks them into a
// temporary root. Each file must be in the package Debian expects it in (the library alone
// in libzarezodud1, the headers, .so link, CMake package and pkg-config file in
// libzarezodud-dev, the command with its manual page, completion and units in zarezodud), the
// binaries stripped, the command linked against the shared library, and a tiny consumer
// project must build and run against the unpacked -dev package.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

// Package name -> .deb file, for every package in dir.
std::map<std::string, std::string> findDebs(const std::string& dir) {
  std::map<std::string, std::string> debs;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".deb") continue;
    const std::string name = entry.path().filename().string();
    debs[name.substr(0, name.find('_'))] = entry.path().string();
  }
  return debs;
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ztest::fileExists(std::string(ZAREZODUD_BINARY_DIR) + "/CPackConfig.cmake")) {
      GTEST_SKIP() << "no CPackConfig.cmake in " << ZAREZODUD_BINARY_DIR;
    }
    if (shell("command -v cpack && command -v dpkg && command -v cmake && command -v readelf").exitCode !=
        0) {
      GTEST_SKIP() << "cpack, dpkg, cmake or readelf missing";
    }
  }

  // Unpacks one package into its own root and into the shared one; its own root.
  std::string unpack(const std::string& deb, const std::string& name) {
    const std::string own = dir_.file("roots/" + name);
    for (const std::string& root : {own, dir_.file("all")}) {
      const auto r = shell("mkdir -p '" + root + "' && dpkg -x '" + deb + "' '" + root + "'");
      EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    return own;
  }

  std::string control(const std::string& deb, const std::string& field) {
    return shell("dpkg-deb -f '" + deb + "' " + field).out;
  }

  ztest::TempDir dir_;
};

TEST_F(PackageTest, ThreePackagesSplitAsDebianNamesThem) {
  const auto packed = shell("cpack -G DEB -B '" + dir_.file("pkg") + "'", ZAREZODUD_BINARY_DIR);
  ASSERT_EQ(packed.exitCode, 0) << packed.out << packed.err;
  const auto debs = findDebs(dir_.file("pkg"));
  ASSERT_EQ(debs.size(), 3u) << packed.out;
  for (const char* name : {"libzarezodud1", "libzarezodud-dev", "zarezodud"}) {
    ASSERT_EQ(debs.count(name), 1u) << name << " not built: " << packed.out;
  }
  const std::string lib = unpack(debs.at("libzarezodud1"), "lib");
  const std::string dev = unpack(debs.at("libzarezodud-dev"), "dev");
  const std::string cmd = unpack(debs.at("zarezodud"), "cmd");

  const std::string libdir = "usr/lib/x86_64-linux-gnu";
  for (const std::string& file : {libdir + "/libzarezodud.so.1", libdir + "/libzarezodud.so.1.0.0"}) {
    EXPECT_TRUE(ztest::fileExists(lib + "/" + file)) << file;
  }
  // The link for the linker points at the library of the runtime package.
  const std::string link = dev + "/" + libdir + "/libzarezodud.so";
  ASSERT_TRUE(std::filesystem::is_symlink(link)) << link;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), "libzarezodud.so.1");
  for (const std::string& file :
       {std::string("usr/include/zarezodud/export.h"),
        std::string("usr/include/zarezodud/engine/ini_file_processor.h"),
        libdir + "/cmake/Zarezodud/ZarezodudConfig.cmake", libdir + "/pkgconfig/zarezodud.pc"}) {
    EXPECT_TRUE(ztest::fileExists(dev + "/" + file)) << file;
  }
  for (const char* file :
       {"usr/bin/zarezodud", "usr/share/man/man1/zarezodud.1.gz",
        "usr/share/bash-completion/completions/zarezodud", "usr/lib/systemd/system/zarezodud-dumps.timer",
        "usr/lib/systemd/system/zarezodud-dumps.service"}) {
    EXPECT_TRUE(ztest::fileExists(cmd + "/" + file)) << file;
  }
  // Nothing in two packages, and the library package holds nothing but the library.
  EXPECT_FALSE(ztest::fileExists(lib + "/" + libdir + "/libzarezodud.so"));
  EXPECT_FALSE(std::filesystem::exists(lib + "/usr/include"));
  EXPECT_FALSE(std::filesystem::exists(cmd + "/usr/lib/x86_64-linux-gnu"));
  for (const auto& [name, root] : std::map<std::string, std::string>{
           {"libzarezodud1", lib}, {"libzarezodud-dev", dev}, {"zarezodud", cmd}}) {
    EXPECT_TRUE(ztest::fileExists(root + "/usr/share/doc/" + name + "/copyright")) << name;
    EXPECT_TRUE(ztest::fileExists(root + "/usr/share/doc/" + name + "/changelog.gz")) << name;
  }

  // Stripped binaries; the command uses the shared library rather than a copy of it.
  for (const std::string& binary :
       {lib + "/" + libdir + "/libzarezodud.so.1.0.0", cmd + "/usr/bin/zarezodud"}) {
    const auto sections = shell("readelf -S --wide '" + binary + "'");
    EXPECT_EQ(sections.out.find(".debug_info"), std::string::npos) << binary << " carries debug information";
    EXPECT_EQ(sections.out.find(".symtab"), std::string::npos) << binary << " is not stripped";
  }
  const auto needed = shell("readelf -d '" + cmd + "/usr/bin/zarezodud'");
  EXPECT_NE(needed.out.find("[libzarezodud.so.1]"), std::string::npos) << needed.out;

  // Dependencies computed from the binaries; the shlibs file and the ldconfig trigger.
  EXPECT_NE(control(debs.at("libzarezodud1"), "Depends").find("libc6"), std::string::npos);
  EXPECT_NE(control(debs.at("zarezodud"), "Depends").find("libzarezodud1 (= 1.0.0)"), std::string::npos);
  EXPECT_NE(control(debs.at("zarezodud"), "Recommends").find("tdsodbc"), std::string::npos);
  EXPECT_NE(control(debs.at("libzarezodud-dev"), "Depends").find("libzarezodud1 (= 1.0.0)"),
            std::string::npos);
  const auto extracted = shell("dpkg-deb -e '" + debs.at("libzarezodud1") + "' '" + dir_.file("ctl") + "'");
  ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
  EXPECT_EQ(ztest::readFile(dir_.file("ctl/shlibs")), "libzarezodud 1 libzarezodud1 (>= 1.0.0)\n");
  EXPECT_EQ(ztest::readFile(dir_.file("ctl/triggers")), "activate-noawait ldconfig\n");
  EXPECT_FALSE(ztest::fileExists(dir_.file("ctl/postinst"))) << "ldconfig belongs in the trigger";

  // A consumer builds against the unpacked packages with CMake and with pkg-config.
  const std::string root = dir_.file("all");
  dir_.write("consumer/CMakeLists.txt",
             "cmake_minimum_required(VERSION 3.20)\nproject(Consumer CXX)\nset(CMAKE_CXX_STANDARD 17)\n"
             "find_package(Zarezodud REQUIRED)\nadd_executable(consumer main.cc)\n"
             "target_link_libraries(consumer PRIVATE Zarezodud::zarezodud)\n");
  dir_.write("consumer/main.cc",
             "#include \"db/return_codes.h\"\n"
             "int main() { return isWarningCode(101) && isErrorCode(2) && !isErrorCode(0) ? 0 : 3; }\n");
  const auto configured =
      shell("cmake -S consumer -B consumer/build -DCMAKE_PREFIX_PATH='" + root + "/usr'", dir_.path());
  ASSERT_EQ(configured.exitCode, 0) << configured.out << configured.err;
  const auto built = shell("cmake --build consumer/build", dir_.path());
  ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
  const auto ran =
      shell("LD_LIBRARY_PATH='" + root + "/" + libdir + "' consumer/build/consumer", dir_.path());
  EXPECT_EQ(ran.exitCode, 0) << ran.err;
  const auto version =
      shell("LD_LIBRARY_PATH='" + root + "/" + libdir + "' '" + cmd + "/usr/bin/zarezodud' --version");
  EXPECT_EQ(version.out, "zarezodud 1.0.0\n") << version.err;

  const auto flags =
      shell("PKG_CONFIG_PATH='" + root + "/" + libdir + "/pkgconfig' pkg-config --cflags --libs zarezodud");
  ASSERT_EQ(flags.exitCode, 0) << flags.err;
  EXPECT_NE(flags.out.find("/include/zarezodud"), std::string::npos) << flags.out;
  EXPECT_NE(flags.out.find("-lzarezodud"), std::string::npos);
}

}  // namespace
