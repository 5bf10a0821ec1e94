// Encryption of stored credentials: AES-256-GCM under the host's credential key
// (credential_key.h). An encrypted text is "v1:" followed by base64 of a 12-byte random nonce,
// the ciphertext and the 16-byte authentication tag; the prefix "v1" is authenticated too.
// Any change to the text, a text made under another key, or a text of another format fails
// to decrypt, and nothing of the plain text is produced then.
//
// Plain text never appears in an error message. Thread-safe (no shared state).
#ifndef ZAREZODUD_PLATFORM_CRYPTO_CREDENTIAL_CIPHER_H
#define ZAREZODUD_PLATFORM_CRYPTO_CREDENTIAL_CIPHER_H

#include <string>
#include <string_view>

#include "platform/crypto/secret_bytes.h"

namespace zarezodud {

inline constexpr char kCredentialTextPrefix[] = "v1:";
inline constexpr size_t kCredentialNonceSize = 12;
inline constexpr size_t kCredentialTagSize = 16;

// Encrypts plain under the key, creating the key when the host has none.
bool encryptCredential(std::string_view plain, std::string* encrypted, std::string* error);

// Decrypts text into *plain (wiped on failure). Never creates a key.
bool decryptCredential(std::string_view text, SecretBytes* plain, std::string* error);

// The same two operations with a given 32-byte key, for callers that hold one.
bool encryptCredentialWithKey(const SecretBytes& key, std::string_view plain, std::string* encrypted,
                              std::string* error);
bool decryptCredentialWithKey(const SecretBytes& key, std::string_view text, SecretBytes* plain,
                              std::string* error);

}  // namespace zarezodud

#endif
