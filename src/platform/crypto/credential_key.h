// The credential service's key: 32 random bytes in "<registry root>/credential.key", mode
// 0600. Only the code that stores a credential creates it; decryption never does, so a host
// without a key fails cleanly instead of growing a key that matches nothing.
//
// Creation is race-free: the key is written to a private temporary file and linked into
// place, so when two processes create at once one wins and the other reads the winner's key.
// Thread-safe (no state in the process).
#ifndef ZAREZODUD_PLATFORM_CRYPTO_CREDENTIAL_KEY_H
#define ZAREZODUD_PLATFORM_CRYPTO_CREDENTIAL_KEY_H

#include <string>

#include "platform/crypto/secret_bytes.h"

namespace zarezodud {

inline constexpr size_t kCredentialKeySize = 32;

// Path of the key file under the current registry root.
std::string credentialKeyPath();

// Loads the key into *key. With createIfMissing a missing key file (and registry directory)
// is created first. The key must be a regular file of this user with no group or other
// access (a symbolic link is not followed). False with a message naming the file (never its
// content) and, for a wrong owner or mode, the command that mends it.
bool loadCredentialKey(bool createIfMissing, SecretBytes* key, std::string* error);

}  // namespace zarezodud

#endif
