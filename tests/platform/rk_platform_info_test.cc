#include "platform/registry/rk_platform_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry/registry_names.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_pi_base.h"
#include "platform/registry/rk_pi_focus.h"
#include "platform/registry/rk_pi_platform_base.h"
#include "platform/crypto/sim_decrypt.h"
#include "support/registry_sandbox.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

namespace names = registry_names;

class RKPlatformInfoTest : public ::testing::Test {
 protected:
  ztest::RegistrySandbox sandbox_;
  RKPlatformInfo registry_;
};

TEST_F(RKPlatformInfoTest, StringsWithEverySpecialCharacterRoundTripThroughTheBuffer) {
  std::string value;
  for (int c = 1; c < 256; ++c) value += static_cast<char>(c);
  value += " trailing blank ";
  const char* key = "SOFTWARE\\Tessaly Systems\\Quasar\\[odd]=key";
  ASSERT_EQ(registry_.setString(key, "sValue", value), 1) << registry_.getLastErrorMsg();

  char buffer[4096];
  unsigned long size = sizeof buffer;
  ASSERT_NE(registry_.getString(key, "sValue", buffer, size), 0) << registry_.getLastErrorMsg();
  EXPECT_EQ(size, value.size());
  EXPECT_EQ(std::string(buffer, size), value);
  EXPECT_EQ(buffer[size], '\0');
}

TEST_F(RKPlatformInfoTest, TextThatDoesNotFitIsRefusedRatherThanShortened) {
  ASSERT_EQ(registry_.setString("Database", "sDSN", "abcdef"), 1);
  char exact[7];
  unsigned long size = sizeof exact;
  ASSERT_NE(registry_.getString("Database", "sDSN", exact, size), 0);
  EXPECT_STREQ(exact, "abcdef");
  EXPECT_EQ(size, 6u);

  char small[6];
  std::memset(small, 'X', sizeof small);
  size = sizeof small;
  EXPECT_EQ(registry_.getString("Database", "sDSN", small, size), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(size, 6u);  // the length needed, without the terminator
  EXPECT_NE(std::string(registry_.getLastErrorMsg()).find("sDSN"), std::string::npos);
  // The value itself never appears in a message.
  EXPECT_EQ(std::string(registry_.getLastErrorMsg()).find("abcdef"), std::string::npos);
}

TEST_F(RKPlatformInfoTest, NumbersCoverTheWholeUnsignedRangeAndTypesAreNotMixed) {
  const unsigned long long samples[] = {0ULL, 1ULL, 4294967296ULL, 18446744073709551615ULL};
  for (unsigned long long sample : samples) {
    ASSERT_EQ(registry_.setNumber("Database", "nValue", sample), 1);
    unsigned long long out = 7;
    ASSERT_NE(registry_.getNumber("Database", "nValue", &out), 0);
    EXPECT_EQ(out, sample);
  }

  ASSERT_EQ(registry_.setString("Database", "sText", "42"), 1);
  unsigned long long untouched = 99;
  EXPECT_EQ(registry_.getNumber("Database", "sText", &untouched), 0);
  EXPECT_EQ(untouched, 99u);
  EXPECT_NE(std::string(registry_.getLastErrorMsg()).find("not a number"), std::string::npos);

  char buffer[32];
  unsigned long size = sizeof buffer;
  EXPECT_EQ(registry_.getString("Database", "nValue", buffer, size), 0);
  EXPECT_NE(std::string(registry_.getLastErrorMsg()).find("not a string"), std::string::npos);

  // Writing a value of the other type replaces it.
  ASSERT_EQ(registry_.setNumber("Database", "sText", 5), 1);
  ASSERT_NE(registry_.getNumber("Database", "sText", &untouched), 0);
  EXPECT_EQ(untouched, 5u);
}

TEST_F(RKPlatformInfoTest, MissingFileKeyOrValueFailsAndLeavesTheDestinationAlone) {
  unsigned long long out = 123;
  EXPECT_EQ(registry_.getNumber("Database", "nScriptExecutionThreshold", &out), 0);
  EXPECT_EQ(out, 123u);
  std::string message = registry_.getLastErrorMsg();
  EXPECT_NE(message.find("nScriptExecutionThreshold"), std::string::npos);
  EXPECT_NE(message.find(sandbox_.file("default.reg")), std::string::npos);
  // Reading created no registry file.
  EXPECT_FALSE(ztest::fileExists(sandbox_.file("default.reg")));

  ASSERT_EQ(registry_.setNumber("Database", "nOther", 1), 1);
  EXPECT_EQ(registry_.getNumber("Database", "nScriptExecutionThreshold", &out), 0);
  EXPECT_EQ(registry_.getNumber("Elsewhere", "nOther", &out), 0);
  EXPECT_EQ(out, 123u);
  EXPECT_EQ(registry_.getNumber(nullptr, "nOther", &out), 0);
  EXPECT_EQ(registry_.getNumber("Database", "nOther", nullptr), 0);
}

TEST_F(RKPlatformInfoTest, FocusesAreSeparateFilesAndEmptyFocusIsGlobal) {
  RKPlatformInfo first, second, global;
  first.setFocus("Instance001");
  second.setFocus("Instance002");
  global.setFocus("");
  ASSERT_EQ(first.setNumber("Database", "nValue", 1), 1);
  ASSERT_EQ(second.setNumber("Database", "nValue", 2), 1);
  ASSERT_EQ(global.setNumber("Database", "nValue", 3), 1);

  unsigned long long out = 0;
  ASSERT_NE(first.getNumber("Database", "nValue", &out), 0);
  EXPECT_EQ(out, 1u);
  ASSERT_NE(second.getNumber("Database", "nValue", &out), 0);
  EXPECT_EQ(out, 2u);
  ASSERT_NE(global.getNumber("Database", "nValue", &out), 0);
  EXPECT_EQ(out, 3u);
  EXPECT_TRUE(ztest::fileExists(sandbox_.file("Instance001.reg")));
  EXPECT_TRUE(ztest::fileExists(sandbox_.file("global.reg")));
  // The default focus saw none of them.
  EXPECT_EQ(registry_.getNumber("Database", "nValue", &out), 0);
}

TEST_F(RKPlatformInfoTest, AccessorFollowsTheProcessFocusUntilGivenItsOwn) {
  RKPI_Focus::setFocus("Instance001");
  ASSERT_EQ(registry_.setNumber("Database", "nValue", 11), 1);
  EXPECT_TRUE(ztest::fileExists(sandbox_.file("Instance001.reg")));
  EXPECT_EQ(registry_.getFocus(), "Instance001");

  registry_.setFocus("Instance002");
  RKPI_Focus::setFocus("Instance003");
  ASSERT_EQ(registry_.setNumber("Database", "nValue", 12), 1);
  EXPECT_TRUE(ztest::fileExists(sandbox_.file("Instance002.reg")));
  EXPECT_FALSE(ztest::fileExists(sandbox_.file("Instance003.reg")));
  EXPECT_EQ(RKPI_Focus::getFocus(), "Instance003");

  // A null focus changes nothing.
  RKPI_Focus::setFocus(nullptr);
  EXPECT_EQ(RKPI_Focus::getFocus(), "Instance003");
  EXPECT_EQ(registry_.setFocus(nullptr), 0);
  EXPECT_EQ(registry_.getFocus(), "Instance002");
}

TEST_F(RKPlatformInfoTest, FocusNamesThatCannotNameAFileAreRefused) {
  ztest::TempDir outside;
  const std::string escaping = "../" + outside.path().substr(outside.path().rfind('/') + 1) + "/evil";
  for (const std::string& bad :
       {escaping, std::string("global"), std::string(".hidden"), std::string("a/b")}) {
    RKPlatformInfo accessor;
    accessor.setFocus(bad.c_str());
    EXPECT_EQ(accessor.setNumber("Database", "nValue", 1), 0) << bad;
    EXPECT_NE(std::string(accessor.getLastErrorMsg()).find(bad), std::string::npos);
    unsigned long long out = 0;
    EXPECT_EQ(accessor.getNumber("Database", "nValue", &out), 0) << bad;
  }
  EXPECT_FALSE(ztest::fileExists(outside.file("evil.reg")));
  EXPECT_FALSE(ztest::fileExists(sandbox_.file("global.reg")));
}

TEST_F(RKPlatformInfoTest, DeleteAndListValues) {
  ASSERT_EQ(registry_.setNumber("Database", "nB", 2), 1);
  ASSERT_EQ(registry_.setString("Database", "sA", "text"), 1);
  ASSERT_EQ(registry_.setNumber("Other", "nC", 3), 1);

  std::vector<RegistryEntry> all;
  ASSERT_EQ(registry_.listValues(nullptr, &all), 1);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].keyPath, "Database");
  EXPECT_EQ(all[0].valueName, "nB");
  EXPECT_EQ(all[1].value, RegistryValue::ofString("text"));
  EXPECT_EQ(all[2].keyPath, "Other");

  std::vector<RegistryEntry> one;
  ASSERT_EQ(registry_.listValues("Other", &one), 1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].value, RegistryValue::ofNumber(3));

  EXPECT_EQ(registry_.deleteValue("Database", "nB"), 1);
  EXPECT_EQ(registry_.deleteValue("Database", "nB"), 0);
  EXPECT_NE(std::string(registry_.getLastErrorMsg()).find("nB"), std::string::npos);
  unsigned long long out = 0;
  EXPECT_EQ(registry_.getNumber("Database", "nB", &out), 0);
  ASSERT_EQ(registry_.listValues(nullptr, &all), 1);
  EXPECT_EQ(all.size(), 2u);
}

TEST_F(RKPlatformInfoTest, HandEditedNonsenseIsSurvivedAndReported) {
  static const char kNonsense[] = "\x89PNG\r\n\x1a\n[Database]\nnValue=n:8\n[broken\nnLost=n:1\n";
  const std::string nonsense(kNonsense, sizeof kNonsense - 1);
  sandbox_.write("default.reg", nonsense);

  unsigned long long out = 0;
  ASSERT_NE(registry_.getNumber("Database", "nValue", &out), 0);
  EXPECT_EQ(out, 8u);
  EXPECT_EQ(registry_.getNumber("Database", "nLost", &out), 0);
  EXPECT_NE(std::string(registry_.getLastErrorMsg()).find("ignored"), std::string::npos);

  std::vector<std::string> problems;
  ASSERT_EQ(registry_.checkFile(&problems), 1);
  EXPECT_EQ(problems.size(), 4u);  // two binary lines, the broken key, the value after it

  // Writing keeps working, keeps the odd lines for the administrator and adds the value.
  ASSERT_EQ(registry_.setNumber("Database", "nNew", 9), 1);
  ASSERT_NE(registry_.getNumber("Database", "nNew", &out), 0);
  EXPECT_EQ(out, 9u);
  EXPECT_NE(ztest::readFile(sandbox_.file("default.reg")).find("[broken"), std::string::npos);
  ASSERT_EQ(registry_.checkFile(&problems), 1);
  EXPECT_TRUE(problems.empty());
}

TEST_F(RKPlatformInfoTest, ProductDirectoryIsNullUntilSetNonEmpty) {
  RKPI_Base base;
  base.setFocus("Instance001");
  EXPECT_EQ(base.getQuasarDirectory(), nullptr);

  RKPlatformInfo writer;
  writer.setFocus("Instance001");
  ASSERT_EQ(writer.setString(names::kProductKey, names::kProductDirectoryValue, ""), 1);
  EXPECT_EQ(base.getQuasarDirectory(), nullptr);

  ASSERT_EQ(writer.setString(names::kProductKey, names::kProductDirectoryValue, "/opt/product dir"), 1);
  const char* directory = base.getQuasarDirectory();
  ASSERT_NE(directory, nullptr);
  EXPECT_STREQ(directory, "/opt/product dir");

  // Without its own focus the accessor reads the process-wide one, which has no value.
  RKPI_Base other;
  EXPECT_EQ(other.getQuasarDirectory(), nullptr);
}

TEST_F(RKPlatformInfoTest, NetworkPasswordComesBackEncryptedAndDecryptsToTheStoredText) {
  RKPI_PlatformBase platform(1);
  platform.setFocus("Instance001");
  EXPECT_EQ(platform.getNetworkPassword(), nullptr);

  std::string error;
  const std::string encrypted = RKPassword::encrypt("session secret", &error);
  ASSERT_FALSE(encrypted.empty()) << error;
  RKPlatformInfo writer;
  writer.setFocus("Instance001");
  ASSERT_EQ(writer.setString(names::kSessionKey, names::kNetworkPasswordValue, encrypted), 1);

  RKPassword* password = platform.getNetworkPassword();
  ASSERT_NE(password, nullptr);
  const int size = password->getEncPwdSize(-1);
  ASSERT_EQ(size, static_cast<int>(encrypted.size()));
  std::vector<char> encoded(static_cast<size_t>(size) + 1);
  int length = 0;
  ASSERT_EQ(password->getEncPwd(encoded.data(), &length, -1), 1);
  EXPECT_EQ(length, size);

  char* plain = nullptr;
  int plainLength = 0;
  ASSERT_EQ(simDecrypt(encoded.data(), &plain, &plainLength, nullptr), 0);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(std::string(plain, static_cast<size_t>(plainLength)), "session secret");
  simFree(plain);

  // A value stored empty gives an object with nothing in it, not a null.
  ASSERT_EQ(writer.setString(names::kSessionKey, names::kNetworkPasswordValue, ""), 1);
  password = platform.getNetworkPassword();
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->getEncPwdSize(-1), 0);
}

}  // namespace
}  // namespace zarezodud
