#include "platform/crypto/sha256.h"
#include "base/errno_text.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

namespace zarezodud {

namespace {

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

std::string toHex(const unsigned char* bytes, unsigned int length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(static_cast<std::size_t>(length) * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0x0f]);
  }
  return hex;
}

// Feeds chunks from next() until it returns false; the digest in hex, "" on a libcrypto failure.
template <class Source>
std::string digest(Source next) {
  DigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::string();
  std::string_view chunk;
  while (next(chunk)) {
    if (EVP_DigestUpdate(context.get(), chunk.data(), chunk.size()) != 1) return std::string();
  }
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), out, &length) != 1) return std::string();
  return toHex(out, length);
}

}  // namespace

struct Sha256::State {
  DigestContext context{EVP_MD_CTX_new()};
  bool ok = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->ok = state_->context && EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::string_view data) {
  if (!state_->ok || data.empty()) return;
  state_->ok = EVP_DigestUpdate(state_->context.get(), data.data(), data.size()) == 1;
}

std::string Sha256::finishHex() {
  if (!state_->ok) return std::string();
  state_->ok = false;
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context.get(), out, &length) != 1) return std::string();
  return toHex(out, length);
}

std::string sha256Hex(std::string_view data) {
  bool given = false;
  return digest([&](std::string_view& chunk) {
    if (given) return false;
    chunk = data;
    given = true;
    return true;
  });
}

bool sha256File(const std::string& path, std::string& hex, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = errnoMessage("cannot read", path, errno);
    return false;
  }
  char buffer[65536];
  const std::string result = digest([&](std::string_view& chunk) {
    in.read(buffer, sizeof buffer);
    const std::streamsize got = in.gcount();
    if (got <= 0) return false;
    chunk = std::string_view(buffer, static_cast<size_t>(got));
    return true;
  });
  if (in.bad() || result.empty()) {
    error = "cannot read [" + path + "]";
    return false;
  }
  hex = result;
  return true;
}

}  // namespace zarezodud
