// simDecrypt: the one-call form of credential decryption used by the server-upgrade
// operations, handing back the plain text in a heap buffer, and simFree, which wipes and
// releases that buffer. Thread-safe (no shared state).
#ifndef ZAREZODUD_PLATFORM_CRYPTO_SIM_DECRYPT_H
#define ZAREZODUD_PLATFORM_CRYPTO_SIM_DECRYPT_H

namespace zarezodud {

// Decrypts the "v1:" text enc. Returns 0 on success with *out a NUL-terminated buffer of
// *outLen + 1 bytes that the caller owns and must release with simFree (not delete or free:
// the buffer carries a hidden header so that simFree can wipe it whole). An empty plain text
// succeeds with *out null and *outLen 0. Any failure (null arguments, no key, altered or
// foreign text) returns -1 with *out null and *outLen 0 where those pointers are given.
// event is the platform's event sink; it is not used.
int simDecrypt(const char* enc, char** out, int* outLen, void* event);

// Wipes and releases a buffer from simDecrypt; null is allowed.
void simFree(char* buffer);

}  // namespace zarezodud

#endif
