#include "platform/crypto/rk_password.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/crypto/base64.h"
#include "platform/crypto/credential_cipher.h"
#include "platform/crypto/credential_key.h"
#include "platform/registry/rk_platform_info.h"
#include "platform/crypto/sim_decrypt.h"
#include "support/registry_sandbox.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

// The credential text of the connection code: two digits of user-name length, the user
// name, then the password.
constexpr char kCredential[] = "05adminp@ss w=rd;\\x";

std::vector<std::string> directoryEntries(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class RKPasswordTest : public ::testing::Test {
 protected:
  std::string encryptOrFail(const std::string& plain) {
    std::string error;
    std::string encrypted = RKPassword::encrypt(plain, &error);
    EXPECT_FALSE(encrypted.empty()) << error;
    return encrypted;
  }

  // Decrypts through the object the way the credential entry points do: into a buffer of
  // 3,075 bytes pre-filled with junk, so that a failure that forgets to clear it shows.
  bool decryptText(const std::string& encrypted, std::string* plain, std::string* error = nullptr) {
    RKPassword password;
    password.putEncPwd(encrypted.c_str());
    std::vector<char> out(3075, 'J');
    bool ok = password.decrypt(out.data(), static_cast<int>(out.size()));
    *plain = out.data();
    if (error != nullptr) *error = password.getLastErrorMsg();
    return ok;
  }

  ztest::RegistrySandbox sandbox_;
};

TEST_F(RKPasswordTest, RoundTripCreatesAPrivateKeyOnFirstEncryption) {
  const std::string keyPath = sandbox_.file("credential.key");
  EXPECT_FALSE(ztest::fileExists(keyPath));
  const std::string encrypted = encryptOrFail(kCredential);
  EXPECT_EQ(encrypted.rfind("v1:", 0), 0u);
  EXPECT_EQ(encrypted.find("admin"), std::string::npos);

  struct stat info;
  ASSERT_EQ(::stat(keyPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(info.st_size, 32);

  std::string plain;
  ASSERT_TRUE(decryptText(encrypted, &plain));
  EXPECT_EQ(plain, kCredential);

  // A second encryption uses the same key but a fresh nonce.
  const std::string again = encryptOrFail(kCredential);
  EXPECT_NE(again, encrypted);
  ASSERT_TRUE(decryptText(again, &plain));
  EXPECT_EQ(plain, kCredential);
}

TEST_F(RKPasswordTest, AlteringAnyByteOfNonceCiphertextOrTagFailsCleanly) {
  const std::string encrypted = encryptOrFail(kCredential);
  std::vector<unsigned char> sealed;
  ASSERT_TRUE(decodeBase64(encrypted.substr(3), &sealed));
  const size_t plainSize = std::strlen(kCredential);
  ASSERT_EQ(sealed.size(), kCredentialNonceSize + plainSize + kCredentialTagSize);

  const size_t positions[] = {0,
                              kCredentialNonceSize - 1,  // nonce
                              kCredentialNonceSize,
                              kCredentialNonceSize + 3,  // ciphertext
                              kCredentialNonceSize + plainSize,
                              sealed.size() - 1};  // tag
  for (size_t position : positions) {
    std::vector<unsigned char> altered = sealed;
    altered[position] ^= 0x01;
    std::string plain, error;
    EXPECT_FALSE(decryptText("v1:" + encodeBase64(altered.data(), altered.size()), &plain, &error))
        << "byte " << position;
    EXPECT_EQ(plain, "") << "byte " << position;
    EXPECT_FALSE(error.empty());
  }

  // Cut short, and stretched by a byte.
  std::vector<unsigned char> shorter(sealed.begin(), sealed.end() - 1);
  std::vector<unsigned char> longer = sealed;
  longer.push_back(0);
  std::string plain;
  EXPECT_FALSE(decryptText("v1:" + encodeBase64(shorter.data(), shorter.size()), &plain));
  EXPECT_FALSE(decryptText("v1:" + encodeBase64(longer.data(), longer.size()), &plain));
}

TEST_F(RKPasswordTest, ForeignTextsFailWithoutRevealingAnything) {
  encryptOrFail("x");  // make sure a key exists
  const std::string foreign[] = {"",
                                 "plain text",
                                 "05adminsecret",
                                 "v2:AAAA",
                                 "v1:",
                                 "v1:not base64!",
                                 "v1:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
                                 "V1:" + encryptOrFail("x").substr(3)};
  for (const std::string& text : foreign) {
    std::string plain, error;
    EXPECT_FALSE(decryptText(text, &plain, &error)) << text;
    EXPECT_EQ(plain, "");
    EXPECT_FALSE(error.empty());
  }
  RKPassword never;
  char out[16] = "junk";
  EXPECT_FALSE(never.decrypt(out, sizeof out));  // nothing was put in
  EXPECT_STREQ(out, "");
}

TEST_F(RKPasswordTest, TextFromAnotherKeyFails) {
  const std::string encrypted = encryptOrFail(kCredential);
  // Another host's key: same size, different bytes.
  std::string key = ztest::readFile(sandbox_.file("credential.key"));
  ASSERT_EQ(key.size(), 32u);
  key[0] = static_cast<char>(key[0] ^ 0x80);
  sandbox_.write("credential.key", key);

  std::string plain, error;
  EXPECT_FALSE(decryptText(encrypted, &plain, &error));
  EXPECT_EQ(plain, "");
  EXPECT_EQ(error.find("admin"), std::string::npos);
}

TEST_F(RKPasswordTest, DecryptingWithoutAKeyFailsAndCreatesNone) {
  const std::string encrypted = encryptOrFail(kCredential);
  ASSERT_EQ(::unlink(sandbox_.file("credential.key").c_str()), 0);

  std::string plain, error;
  EXPECT_FALSE(decryptText(encrypted, &plain, &error));
  EXPECT_EQ(plain, "");
  EXPECT_NE(error.find("credential.key"), std::string::npos);
  char* out = reinterpret_cast<char*>(1);
  int length = 5;
  EXPECT_EQ(simDecrypt(encrypted.c_str(), &out, &length, nullptr), -1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_FALSE(ztest::fileExists(sandbox_.file("credential.key")));
}

TEST_F(RKPasswordTest, DamagedKeyFileIsReportedNotReplaced) {
  sandbox_.write("credential.key", "too short");

  std::string error;
  EXPECT_EQ(RKPassword::encrypt(kCredential, &error), "");
  EXPECT_NE(error.find("damaged"), std::string::npos);
  EXPECT_EQ(ztest::readFile(sandbox_.file("credential.key")), "too short");
}

TEST_F(RKPasswordTest, KeyThatOthersCanReadOrAnotherUserOwnsIsRefusedWithTheFix) {
  const std::string encrypted = encryptOrFail(kCredential);
  const std::string keyPath = sandbox_.file("credential.key");
  std::string plain, error;
  for (const mode_t mode : {0644, 0640, 0604, 0660}) {
    ASSERT_EQ(::chmod(keyPath.c_str(), mode), 0);
    EXPECT_FALSE(decryptText(encrypted, &plain, &error)) << std::oct << mode;
    EXPECT_EQ(plain, "");
    EXPECT_NE(error.find("can be used by group or others"), std::string::npos) << error;
    EXPECT_NE(error.find("chmod 600 " + keyPath), std::string::npos) << error;
    EXPECT_TRUE(RKPassword::encrypt(kCredential, &error).empty()) << "nor is it used to store";
  }
  ASSERT_EQ(::chmod(keyPath.c_str(), 0600), 0);
  ASSERT_TRUE(decryptText(encrypted, &plain, &error)) << error;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(keyPath.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(decryptText(encrypted, &plain, &error));
    EXPECT_NE(error.find("owned by uid 65534"), std::string::npos) << error;
    EXPECT_NE(error.find("chown 0 " + keyPath), std::string::npos) << error;
  }
  // A link in the key's place is not followed, wherever it points.
  const std::string real = sandbox_.file("real.key");
  ASSERT_EQ(::rename(keyPath.c_str(), real.c_str()), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(real.c_str(), 0, 0), 0);
  }
  ASSERT_EQ(::symlink(real.c_str(), keyPath.c_str()), 0);
  EXPECT_FALSE(decryptText(encrypted, &plain, &error));
  EXPECT_EQ(plain, "");
}

TEST_F(RKPasswordTest, PlainTextThatDoesNotFitTheBufferIsNotHandedOutInPart) {
  RKPassword password;
  password.putEncPwd(encryptOrFail("0123456789").c_str());
  char small[10];
  std::memset(small, 'J', sizeof small);
  EXPECT_FALSE(password.decrypt(small, sizeof small));
  EXPECT_STREQ(small, "");
  char exact[11];
  EXPECT_TRUE(password.decrypt(exact, sizeof exact));
  EXPECT_STREQ(exact, "0123456789");
}

TEST_F(RKPasswordTest, SimDecryptHandsBackAHeapCopyAndReportsEmptyAsNoText) {
  char* out = nullptr;
  int length = 0;
  ASSERT_EQ(simDecrypt(encryptOrFail(kCredential).c_str(), &out, &length, nullptr), 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(length, static_cast<int>(std::strlen(kCredential)));
  EXPECT_STREQ(out, kCredential);
  simFree(out);

  out = reinterpret_cast<char*>(1);
  ASSERT_EQ(simDecrypt(encryptOrFail("").c_str(), &out, &length, nullptr), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(length, 0);

  EXPECT_EQ(simDecrypt("v1:garbage", &out, &length, nullptr), -1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(simDecrypt(nullptr, &out, &length, nullptr), -1);
  EXPECT_EQ(simDecrypt("v1:x", nullptr, &length, nullptr), -1);
  simFree(nullptr);
}

TEST_F(RKPasswordTest, ProcessesCreatingTheKeyAtOnceAgreeOnOne) {
  constexpr int kProcesses = 4;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Each child encrypts under whatever key it finds or makes and leaves its text in the
      // registry for the parent.
      std::string error;
      std::string encrypted = RKPassword::encrypt("child " + std::to_string(p), &error);
      RKPlatformInfo registry;
      ::_exit(!encrypted.empty() && registry.setString("Texts", std::to_string(p).c_str(), encrypted) ? 0
                                                                                                      : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RKPlatformInfo registry;
  for (int p = 0; p < kProcesses; ++p) {
    std::string encrypted, plain;
    ASSERT_EQ(registry.getString("Texts", std::to_string(p).c_str(), &encrypted), 1);
    ASSERT_TRUE(decryptText(encrypted, &plain)) << "child " << p;
    EXPECT_EQ(plain, "child " + std::to_string(p));
  }
  // The losers of the race left no temporary key files behind.
  EXPECT_EQ(directoryEntries(sandbox_.root()),
            (std::vector<std::string>{"credential.key", "default.reg", "default.reg.lock"}));
}

TEST(Base64Test, KnownVectorsAndStrictDecoding) {
  const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {std::string("\xff\xfe\x00", 3), "//4A"}};
  for (const auto& [raw, encoded] : vectors) {
    EXPECT_EQ(encodeBase64(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()), encoded);
    std::vector<unsigned char> decoded;
    ASSERT_TRUE(decodeBase64(encoded, &decoded)) << encoded;
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), raw);
  }
  std::vector<unsigned char> out;
  for (const char* bad : {"Zg=", "Zg", "Zh==", "Zm9=", "Z===", "Zg==Zg==", "Zm 9v", "Zm9v\n", "=Zm9"}) {
    EXPECT_FALSE(decodeBase64(bad, &out)) << bad;
  }
}

}  // namespace
}  // namespace zarezodud
