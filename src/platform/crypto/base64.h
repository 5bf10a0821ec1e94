// Standard base64 (RFC 4648 alphabet, "=" padding) for the credential service's encrypted
// texts. Decoding is strict: no whitespace, no missing or misplaced padding, no non-zero
// leftover bits, so that one stored text has exactly one meaning. Pure; thread-safe.
#ifndef ZAREZODUD_PLATFORM_CRYPTO_BASE64_H
#define ZAREZODUD_PLATFORM_CRYPTO_BASE64_H

#include <string>
#include <string_view>
#include <vector>

namespace zarezodud {

std::string encodeBase64(const unsigned char* data, size_t size);

// False (out unspecified) when text is not canonical base64.
bool decodeBase64(std::string_view text, std::vector<unsigned char>* out);

}  // namespace zarezodud

#endif
