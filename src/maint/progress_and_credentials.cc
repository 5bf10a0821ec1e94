#include "maint/progress_and_credentials.h"

#include <cstring>

#include "db/db_queries.h"
#include "db/secure_text.h"
#include "log/format_message.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_platform_info.h"

namespace {

const char kInstallerKey[] = "SOFTWARE\\Tessaly Systems\\Quasar\\Installer\\Data";
const char kProgressValue[] = "nProgressPercent";
constexpr int kDecryptedSize = static_cast<int>(zarezodud::kCredentialPlainBuffer);

// Decrypts into a zeroed buffer; the user-name length of the result (0 = unusable).
int decryptCredential(const char* encrypted, char (&decrypted)[kDecryptedSize]) {
  std::memset(decrypted, 0, sizeof decrypted);
  zarezodud::RKPassword password;
  password.putEncPwd(encrypted != nullptr ? encrypted : "");
  password.decrypt(decrypted, kDecryptedSize);
  decrypted[kDecryptedSize - 1] = '\0';
  return zarezodud::credentialUserLength(decrypted);
}

}  // namespace

int setProgress(int percent, std::string& error) {
  unsigned int current = 0;
  if (!readRegistry("", "", kInstallerKey, kProgressValue, &current, nullptr, nullptr, error)) return 1;
  zarezodud::RKPlatformInfo registry;
  if (!registry.setNumber(kInstallerKey, kProgressValue, static_cast<unsigned int>(percent))) {
    error = zarezodud::formatMessage("Error setting [%s] from registry. Error:[%s]", kProgressValue,
                                     registry.getLastErrorMsg());
    return 0;
  }
  return 1;
}

int getDecryptedUserandPwd2(const char* encrypted, char* out) {
  char decrypted[kDecryptedSize];
  if (decryptCredential(encrypted, decrypted) == 0 || out == nullptr) {
    zarezodud::clearBuffer(decrypted, sizeof decrypted);
    return -1;
  }
  std::strcpy(out, decrypted);
  zarezodud::clearBuffer(decrypted, sizeof decrypted);
  return 0;
}

int getDecryptedUserandPwd(const char* encrypted, char* out) {
  char decrypted[kDecryptedSize];
  if (decryptCredential(encrypted, decrypted) == 0 || out == nullptr) {
    zarezodud::clearBuffer(decrypted, sizeof decrypted);
    return -1;
  }
  const size_t length = strnlen(decrypted, kDecryptedSize - 1);
  std::memcpy(out, decrypted, length);
  out[length] = '\0';
  zarezodud::clearBuffer(decrypted, sizeof decrypted);
  return 0;
}
