// readRegistry and getDBUser: registry values and the stored, encrypted SQL credentials.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "db/db_queries.h"
#include "db/secure_text.h"
#include "log/format_message.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_platform_info.h"

unsigned int readRegistry(std::string /*registryBase*/, std::string controlSetName, std::string keyPath,
                          std::string valueName, unsigned int* numberOut, char* textOut,
                          unsigned long* textLength, std::string& error) {
  zarezodud::RKPlatformInfo registry;
  if (!controlSetName.empty()) registry.setFocus(controlSetName.c_str());
  int found = 0;
  if (textOut != nullptr) {
    unsigned long size = textLength != nullptr ? *textLength : 0;
    found = registry.getString(keyPath.c_str(), valueName.c_str(), textOut, size);
    if (found && textLength != nullptr) *textLength = size;
  } else if (numberOut != nullptr) {
    unsigned long long value = 0;
    found = registry.getNumber(keyPath.c_str(), valueName.c_str(), &value);
    if (found) *numberOut = static_cast<unsigned int>(value);
  } else {
    error = "Error: invalid argument.";
    return 0;
  }
  if (!found) {
    error = zarezodud::formatMessage("Error getting [%s] from registry. Error:[%s]", valueName.c_str(),
                                     registry.getLastErrorMsg());
    return 0;
  }
  return 1;
}

namespace {

// Reads a string value into out; false with readRegistry's error.
bool readText(const std::string& registryBase, const std::string& controlSetName, const std::string& keyPath,
              const std::string& valueName, std::string& out, std::string& error) {
  std::vector<char> buffer(zarezodud::kCredentialRegistryBuffer, '\0');
  unsigned long length = buffer.size();
  if (!readRegistry(registryBase, controlSetName, keyPath, valueName, nullptr, buffer.data(), &length,
                    error)) {
    return false;
  }
  out.assign(buffer.data());
  zarezodud::clearBuffer(buffer.data(), buffer.size());
  return true;
}

}  // namespace

unsigned int getDBUser(std::string registryBase, std::string controlSetName, std::string dbAccessRegistryPath,
                       std::string dsnValueName, std::string sqlInstanceValueName,
                       std::string sqlUserValueName, std::string& dsnOut, std::string& sqlInstanceOut,
                       std::string& userOut, std::string& passwordOut, std::string& error) {
  std::string encrypted;
  if (!readText(registryBase, controlSetName, dbAccessRegistryPath, sqlUserValueName, encrypted, error))
    return 0;

  constexpr int kDecryptedSize = static_cast<int>(zarezodud::kCredentialPlainBuffer);
  char decrypted[kDecryptedSize] = {};
  {
    zarezodud::RKPassword password;
    password.putEncPwd(encrypted.c_str());
    password.decrypt(decrypted, kDecryptedSize);
  }
  decrypted[kDecryptedSize - 1] = '\0';
  const int userLength = zarezodud::credentialUserLength(decrypted);
  if (userLength == 0) {
    zarezodud::clearBuffer(decrypted, sizeof decrypted);
    error = "Failed to decrypt the username and password";
    return 0;
  }
  const size_t textLength = std::strlen(decrypted);
  const size_t userEnd = std::min(textLength, static_cast<size_t>(2 + userLength));
  userOut.assign(decrypted + 2, userEnd - 2);
  passwordOut.assign(decrypted + userEnd);
  zarezodud::clearBuffer(decrypted, sizeof decrypted);

  if (!sqlInstanceValueName.empty() && !readText(registryBase, controlSetName, dbAccessRegistryPath,
                                                 sqlInstanceValueName, sqlInstanceOut, error)) {
    return 0;
  }
  if (!dsnValueName.empty() &&
      !readText(registryBase, controlSetName, dbAccessRegistryPath, dsnValueName, dsnOut, error)) {
    return 0;
  }
  return 1;
}
