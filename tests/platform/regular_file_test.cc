#include "platform/fs/regular_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/crypto/sha256.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

TEST(RegularFile, ReadsWholeFileAndItsDigestInOnePass) {
  ztest::TempDir dir;
  std::string big(200000, 'x');
  big[12345] = '\0';  // bytes are bytes: a NUL does not cut the read
  const std::string path = dir.write("script.sql", big);
  std::string bytes, hex, error;
  ASSERT_EQ(readRegularFile(path, bytes, &hex, error), FileReadResult::kRead) << error;
  EXPECT_EQ(bytes, big);
  EXPECT_EQ(hex, sha256Hex(big));

  // Through a symbolic link to a regular file, and without asking for the digest.
  const std::string link = dir.file("link.sql");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  std::string again;
  ASSERT_EQ(readRegularFile(link, again, nullptr, error), FileReadResult::kRead) << error;
  EXPECT_EQ(again, big);

  std::string empty;
  ASSERT_EQ(readRegularFile(dir.write("empty.sql", ""), empty, &hex, error), FileReadResult::kRead) << error;
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(hex, sha256Hex(""));
}

TEST(RegularFile, IncrementalDigestEqualsOneShot) {
  Sha256 digest;
  digest.update("ab");
  digest.update("");
  digest.update("c");
  EXPECT_EQ(digest.finishHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Each of these must be refused at once with a message naming the path and what it is; a FIFO
// with no writer or /dev/zero would otherwise hang the reader.
TEST(RegularFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
  ztest::TempDir dir;
  const std::string fifo = dir.file("list.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string toZero = dir.file("zero.sql");
  ASSERT_EQ(symlink("/dev/zero", toZero.c_str()), 0);
  const std::string socketPath = dir.file("s.sock");
  {
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(s);
  }
  const struct {
    std::string path;
    const char* what;
  } cases[] = {{fifo, "a FIFO"},
               {toZero, "a character device"},
               {dir.path(), "a directory"},
               {socketPath, "a socket"}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    std::string bytes = "untouched", hex = "untouched", error;
    const FileReadResult result = readRegularFile(c.path, bytes, &hex, error);
    // Unix sockets cannot be opened at all (ENXIO); the others are refused by their type.
    EXPECT_EQ(result, c.path == socketPath ? FileReadResult::kCannotOpen : FileReadResult::kNotRegular)
        << c.path;
    EXPECT_EQ(bytes, "untouched");
    EXPECT_EQ(hex, "untouched");
    EXPECT_NE(error.find("[" + c.path + "]"), std::string::npos) << error;
    if (c.path != socketPath) {
      EXPECT_NE(error.find(c.what), std::string::npos) << error;
    }

    error.clear();
    EXPECT_FALSE(checkRegularFile(c.path, error)) << c.path;
    EXPECT_NE(error.find(c.what), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
  }

  std::string bytes, error;
  EXPECT_EQ(readRegularFile(dir.file("absent.sql"), bytes, nullptr, error), FileReadResult::kCannotOpen);
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(checkRegularFile(dir.file("absent.sql"), error));
}

}  // namespace
}  // namespace zarezodud
