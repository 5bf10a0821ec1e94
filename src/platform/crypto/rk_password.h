// RKPassword: one stored credential in its encrypted form ("v1:..." texts of
// credential_cipher.h), as read from the registry, with the calls that turn it into plain
// text. Also the entry that makes such a text, for the command that stores credentials.
//
// Plain text exists only in the caller's buffer and in wiped temporary storage; it never
// appears in an error message.
//
// Thread-safety: one object belongs to one thread at a time; encrypt() is thread-safe.
#ifndef ZAREZODUD_PLATFORM_CRYPTO_RK_PASSWORD_H
#define ZAREZODUD_PLATFORM_CRYPTO_RK_PASSWORD_H

#include <cstddef>
#include <string>

#include "export.h"

namespace zarezodud {

// The buffers every reader of a stored credential uses: the encrypted registry string is read
// into kCredentialRegistryBuffer bytes and decrypted into kCredentialPlainBuffer bytes, each
// with its terminating NUL. A credential is storable only when both fit.
inline constexpr size_t kCredentialRegistryBuffer = 4096;
inline constexpr size_t kCredentialPlainBuffer = 3075;

// True when a credential whose plain text is plainBytes long and whose encrypted text is
// encryptedBytes long can be read back by those readers.
inline bool credentialFitsReaders(size_t plainBytes, size_t encryptedBytes) {
  return plainBytes < kCredentialPlainBuffer && encryptedBytes < kCredentialRegistryBuffer;
}

class ZAREZODUD_API RKPassword {
 public:
  RKPassword();
  ~RKPassword();
  RKPassword(const RKPassword&) = delete;
  RKPassword& operator=(const RKPassword&) = delete;

  // Keeps a copy of the encrypted text (null: none).
  void putEncPwd(const char* encrypted);

  // Decrypts the kept text into out, a buffer of outSize bytes, NUL-terminated. True on
  // success. On any failure (no key, altered or foreign text, plain text of outSize bytes or
  // more) out becomes "" when outSize > 0, and false is returned with the reason in
  // getLastErrorMsg().
  bool decrypt(char* out, int outSize);

  // Length in bytes of the kept encrypted text (0 when none). The argument selects a part of
  // a combined credential on other platforms; every value gives the whole text here.
  int getEncPwdSize(int part) const;
  // Copies the encrypted text and a NUL into buf, which must hold getEncPwdSize()+1 bytes, and
  // sets *len to its length. Returns 1, or 0 when buf or len is null. The last argument is
  // ignored as in getEncPwdSize.
  int getEncPwd(char* buf, int* len, int part) const;

  // Encrypts plain for storage, creating the host's credential key on first use. Returns the
  // "v1:" text, or "" with *error set (error may be null).
  static std::string encrypt(const std::string& plain, std::string* error);

  // The reason of the last failed decrypt; owned by the object.
  const char* getLastErrorMsg() const { return lastError_.c_str(); }

 private:
  std::string encrypted_;
  std::string lastError_;
};

}  // namespace zarezodud

#endif
