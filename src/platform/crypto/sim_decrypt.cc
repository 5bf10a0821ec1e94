#include "platform/crypto/sim_decrypt.h"

#include <openssl/crypto.h>

#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "platform/crypto/credential_cipher.h"
#include "platform/crypto/secret_bytes.h"

namespace zarezodud {
namespace {

// Each buffer starts with its total size so that simFree can wipe every byte.
constexpr size_t kHeaderSize = sizeof(size_t);

}  // namespace

int simDecrypt(const char* enc, char** out, int* outLen, void*) {
  if (out != nullptr) *out = nullptr;
  if (outLen != nullptr) *outLen = 0;
  if (enc == nullptr || out == nullptr || outLen == nullptr) return -1;

  SecretBytes plain;
  std::string error;
  if (!decryptCredential(enc, &plain, &error)) return -1;
  if (plain.size() > static_cast<size_t>(INT_MAX) - kHeaderSize - 1) return -1;
  if (plain.empty()) return 0;

  const size_t total = kHeaderSize + plain.size() + 1;
  char* block = new (std::nothrow) char[total];
  if (block == nullptr) return -1;
  std::memcpy(block, &total, kHeaderSize);
  std::memcpy(block + kHeaderSize, plain.data(), plain.size());
  block[kHeaderSize + plain.size()] = '\0';
  *out = block + kHeaderSize;
  *outLen = static_cast<int>(plain.size());
  return 0;
}

void simFree(char* buffer) {
  if (buffer == nullptr) return;
  char* block = buffer - kHeaderSize;
  size_t total = 0;
  std::memcpy(&total, block, kHeaderSize);
  OPENSSL_cleanse(block, total);
  delete[] block;
}

}  // namespace zarezodud
