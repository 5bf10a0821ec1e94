#include "platform/crypto/base64.h"

#include <openssl/evp.h>

namespace zarezodud {

std::string encodeBase64(const unsigned char* data, size_t size) {
  if (size == 0) return std::string();
  std::string out((size + 2) / 3 * 4 + 1, '\0');  // EVP_EncodeBlock writes a NUL after the text
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

bool decodeBase64(std::string_view text, std::vector<unsigned char>* out) {
  out->clear();
  if (text.size() % 4 != 0) return false;
  if (text.empty()) return true;
  out->resize(text.size() / 4 * 3);
  const int decoded = EVP_DecodeBlock(out->data(), reinterpret_cast<const unsigned char*>(text.data()),
                                      static_cast<int>(text.size()));
  if (decoded < 0) return false;
  // EVP_DecodeBlock counts the padding's zero bytes as data; drop them.
  size_t padding = 0;
  if (text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
  out->resize(static_cast<size_t>(decoded) - padding);
  // Canonical text only (no blanks, padding where it belongs, zero leftover bits): the text
  // must be exactly what encoding the bytes gives, so that one stored text has one meaning.
  return encodeBase64(out->data(), out->size()) == text;
}

}  // namespace zarezodud
