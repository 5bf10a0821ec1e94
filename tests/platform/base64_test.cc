#include "platform/crypto/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarezodud {
namespace {

TEST(Base64, RoundTripsEveryLengthAndMatchesTheStandardForm) {
  const std::string text = "any carnal pleas";
  const char* expected[] = {"", "YQ==", "YW4=", "YW55", "YW55IA==", "YW55IGM="};
  for (size_t n = 0; n < 6; ++n) {
    const std::string encoded = encodeBase64(reinterpret_cast<const unsigned char*>(text.data()), n);
    EXPECT_EQ(encoded, expected[n]);
    std::vector<unsigned char> back;
    ASSERT_TRUE(decodeBase64(encoded, &back)) << encoded;
    EXPECT_EQ(std::string(back.begin(), back.end()), text.substr(0, n));
  }
  std::vector<unsigned char> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
  std::vector<unsigned char> back;
  ASSERT_TRUE(decodeBase64(encodeBase64(bytes.data(), bytes.size()), &back));
  EXPECT_EQ(back, bytes);
}

// One stored text has one meaning: anything but the canonical form is refused.
TEST(Base64, RefusesEverythingButTheCanonicalForm) {
  // Length not a multiple of four, leftover bits that are not zero, blanks anywhere, padding
  // in the wrong place, characters outside the alphabet.
  for (const char* bad :
       {"YQ=", "YQ", "YR==", "YW5=", "Y Q==", " YQ==", "YQ==\n", "YQ=A", "=YQA", "YQ==YQ==", "Y*=="}) {
    std::vector<unsigned char> out;
    EXPECT_FALSE(decodeBase64(bad, &out)) << bad;
  }
}

}  // namespace
}  // namespace zarezodud
