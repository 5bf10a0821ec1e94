// The CA key and certificate, checked with libcrypto itself: the certificate parses, is a CA,
// is self-signed and belongs to the key; the key file is private.
#include "platform/crypto/ca_certificate.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "support/temp_dir.h"

namespace {

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileClose>;

std::unique_ptr<X509, decltype(&X509_free)> readCertificate(const std::string& path) {
  File f(std::fopen(path.c_str(), "r"));
  return {f ? PEM_read_X509(f.get(), nullptr, nullptr, nullptr) : nullptr, &X509_free};
}

std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> readKey(const std::string& path) {
  File f(std::fopen(path.c_str(), "r"));
  return {f ? PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr) : nullptr, &EVP_PKEY_free};
}

TEST(CACertificateTest, CreatesAPrivateKeyAndASelfSignedCA) {
  ztest::TempDir dir;
  const std::string certificates = dir.file("certificates");
  std::string error;
  ASSERT_TRUE(zarezodud::ensureCACertificate(certificates, error)) << error;

  struct stat info {};
  ASSERT_EQ(stat((certificates + "/ca.key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(certificates.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u);

  auto certificate = readCertificate(certificates + "/ca.crt");
  auto key = readKey(certificates + "/ca.key");
  ASSERT_TRUE(certificate);
  ASSERT_TRUE(key);
  EXPECT_EQ(X509_check_ca(certificate.get()), 1);
  EXPECT_TRUE(X509_get_extension_flags(certificate.get()) & EXFLAG_CA);
  EXPECT_TRUE(X509_get_key_usage(certificate.get()) & KU_KEY_CERT_SIGN);
  EXPECT_EQ(X509_check_private_key(certificate.get(), key.get()), 1);
  EXPECT_EQ(X509_verify(certificate.get(), key.get()), 1);
  EXPECT_EQ(X509_NAME_cmp(X509_get_subject_name(certificate.get()), X509_get_issuer_name(certificate.get())),
            0);
  EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(certificate.get())), 0);
  EXPECT_GT(X509_cmp_current_time(X509_get0_notAfter(certificate.get())), 0);
}

}  // namespace
