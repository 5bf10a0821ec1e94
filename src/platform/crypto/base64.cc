#include "platform/crypto/base64.h"

namespace zarezodud {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string encodeBase64(const unsigned char* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    unsigned group = static_cast<unsigned>(data[i]) << 16;
    if (i + 1 < size) group |= static_cast<unsigned>(data[i + 1]) << 8;
    if (i + 2 < size) group |= data[i + 2];
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < size ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < size ? kAlphabet[group & 63] : '=';
  }
  return out;
}

bool decodeBase64(std::string_view text, std::vector<unsigned char>* out) {
  out->clear();
  if (text.size() % 4 != 0) return false;
  out->reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    size_t padding = 0;
    if (last && text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
    unsigned group = 0;
    for (size_t j = 0; j < 4 - padding; ++j) {
      int value = sextet(text[i + j]);
      if (value < 0) return false;
      group |= static_cast<unsigned>(value) << (18 - 6 * j);
    }
    out->push_back(static_cast<unsigned char>(group >> 16));
    if (padding < 2) out->push_back(static_cast<unsigned char>((group >> 8) & 0xff));
    if (padding < 1) out->push_back(static_cast<unsigned char>(group & 0xff));
    // Bits below the last whole byte must be zero in canonical base64.
    if ((padding == 1 && (group & 0xff) != 0) || (padding == 2 && (group & 0xffff) != 0)) return false;
  }
  return true;
}

}  // namespace zarezodud
