#include "platform/crypto/rk_password.h"

#include <cstring>

#include "platform/crypto/credential_cipher.h"
#include "platform/crypto/secret_bytes.h"

namespace zarezodud {

RKPassword::RKPassword() = default;
RKPassword::~RKPassword() = default;

void RKPassword::putEncPwd(const char* encrypted) { encrypted_ = encrypted != nullptr ? encrypted : ""; }

bool RKPassword::decrypt(char* out, int outSize) {
  if (out == nullptr || outSize <= 0) {
    lastError_ = "invalid argument: no room for the decrypted credential";
    return false;
  }
  out[0] = '\0';
  SecretBytes plain;
  if (!decryptCredential(encrypted_, &plain, &lastError_)) return false;
  if (plain.size() >= static_cast<size_t>(outSize)) {
    lastError_ = "the decrypted credential does not fit the buffer of " + std::to_string(outSize) + " bytes";
    return false;
  }
  if (!plain.empty()) std::memcpy(out, plain.data(), plain.size());
  out[plain.size()] = '\0';
  lastError_.clear();
  return true;
}

int RKPassword::getEncPwdSize(int) const { return static_cast<int>(encrypted_.size()); }

int RKPassword::getEncPwd(char* buf, int* len, int) const {
  if (buf == nullptr || len == nullptr) return 0;
  std::memcpy(buf, encrypted_.c_str(), encrypted_.size() + 1);
  *len = static_cast<int>(encrypted_.size());
  return 1;
}

std::string RKPassword::encrypt(const std::string& plain, std::string* error) {
  std::string encrypted;
  std::string reason;
  if (!encryptCredential(plain, &encrypted, &reason)) {
    if (error != nullptr) *error = reason;
    return std::string();
  }
  return encrypted;
}

}  // namespace zarezodud
