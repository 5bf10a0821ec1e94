#include "platform/crypto/credential_cipher.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/crypto/base64.h"
#include "platform/crypto/credential_key.h"

namespace zarezodud {
namespace {

constexpr unsigned char kAssociatedData[] = {'v', '1'};

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

bool checkKey(const SecretBytes& key, std::string* error) {
  if (key.size() != kCredentialKeySize) {
    *error = "credential key has the wrong length";
    return false;
  }
  return true;
}

}  // namespace

bool encryptCredentialWithKey(const SecretBytes& key, std::string_view plain, std::string* encrypted,
                              std::string* error) {
  if (!checkKey(key, error)) return false;
  if (plain.size() > static_cast<size_t>(INT_MAX) - kCredentialTagSize) {
    *error = "credential is too long to encrypt";
    return false;
  }
  std::vector<unsigned char> sealed(kCredentialNonceSize + plain.size() + kCredentialTagSize);
  unsigned char* nonce = sealed.data();
  unsigned char* body = nonce + kCredentialNonceSize;
  unsigned char* tag = body + plain.size();
  if (RAND_bytes(nonce, static_cast<int>(kCredentialNonceSize)) != 1) {
    *error = "cannot encrypt the credential: no random source";
    return false;
  }
  CipherContext context(EVP_CIPHER_CTX_new());
  int length = 0;
  bool ok =
      context != nullptr &&
      EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kCredentialNonceSize),
                          nullptr) == 1 &&
      EVP_EncryptInit_ex(context.get(), nullptr, nullptr, key.data(), nonce) == 1 &&
      EVP_EncryptUpdate(context.get(), nullptr, &length, kAssociatedData,
                        static_cast<int>(sizeof kAssociatedData)) == 1 &&
      EVP_EncryptUpdate(context.get(), body, &length, reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())) == 1 &&
      EVP_EncryptFinal_ex(context.get(), body + length, &length) == 1 &&
      EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kCredentialTagSize), tag) ==
          1;
  if (!ok) {
    *error = "cannot encrypt the credential: the cipher failed";
    return false;
  }
  *encrypted = std::string(kCredentialTextPrefix) + encodeBase64(sealed.data(), sealed.size());
  return true;
}

bool decryptCredentialWithKey(const SecretBytes& key, std::string_view text, SecretBytes* plain,
                              std::string* error) {
  plain->clear();
  if (!checkKey(key, error)) return false;
  const std::string_view prefix(kCredentialTextPrefix);
  std::vector<unsigned char> sealed;
  if (text.substr(0, prefix.size()) != prefix || !decodeBase64(text.substr(prefix.size()), &sealed) ||
      sealed.size() < kCredentialNonceSize + kCredentialTagSize ||
      sealed.size() > static_cast<size_t>(INT_MAX)) {
    *error = "not an encrypted credential of this service";
    return false;
  }
  const size_t bodySize = sealed.size() - kCredentialNonceSize - kCredentialTagSize;
  unsigned char* nonce = sealed.data();
  unsigned char* body = nonce + kCredentialNonceSize;
  unsigned char* tag = body + bodySize;

  // One spare byte so that an empty credential still has storage for the cipher to write to.
  SecretBytes out(bodySize + 1);
  CipherContext context(EVP_CIPHER_CTX_new());
  int length = 0;
  int finalLength = 0;
  bool ok = context != nullptr &&
            EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
            EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kCredentialNonceSize),
                                nullptr) == 1 &&
            EVP_DecryptInit_ex(context.get(), nullptr, nullptr, key.data(), nonce) == 1 &&
            EVP_DecryptUpdate(context.get(), nullptr, &length, kAssociatedData,
                              static_cast<int>(sizeof kAssociatedData)) == 1 &&
            EVP_DecryptUpdate(context.get(), out.data(), &length, body, static_cast<int>(bodySize)) == 1 &&
            EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kCredentialTagSize),
                                tag) == 1 &&
            EVP_DecryptFinal_ex(context.get(), out.data() + length, &finalLength) == 1;
  if (!ok) {
    *error = "the encrypted credential does not match this host's key or has been altered";
    return false;  // out is wiped by its destructor
  }
  out.shrink(static_cast<size_t>(length) + static_cast<size_t>(finalLength));
  *plain = std::move(out);
  return true;
}

bool encryptCredential(std::string_view plain, std::string* encrypted, std::string* error) {
  SecretBytes key;
  return loadCredentialKey(true, &key, error) && encryptCredentialWithKey(key, plain, encrypted, error);
}

bool decryptCredential(std::string_view text, SecretBytes* plain, std::string* error) {
  plain->clear();
  SecretBytes key;
  return loadCredentialKey(false, &key, error) && decryptCredentialWithKey(key, text, plain, error);
}

}  // namespace zarezodud
