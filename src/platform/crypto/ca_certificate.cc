#include "platform/crypto/ca_certificate.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "base/atomic_file.h"
#include "base/errno_text.h"

namespace zarezodud {

namespace {

const char kCommonName[] = "Corehub Certificate Authority";
const long kValidDays = 3650;

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
  void operator()(X509* p) const { X509_free(p); }
};
struct BioFree {
  void operator()(BIO* p) const { BIO_free(p); }
};
struct BnFree {
  void operator()(BIGNUM* p) const { BN_free(p); }
};
struct ExtFree {
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};

// "<what>: <libcrypto's reason>", emptying libcrypto's error queue.
std::string cryptoError(const std::string& what) {
  std::string reason;
  unsigned long code = 0;
  while ((code = ERR_get_error()) != 0) {
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    if (!reason.empty()) reason += "; ";
    reason += text;
  }
  return what + ": " + (reason.empty() ? std::string("unknown libcrypto error") : reason);
}

std::string errnoText(const std::string& what, int errnum) {
  return what + ": " + zarezodud::errnoText(errnum);
}

bool addExtension(X509* certificate, int nid, const char* value, std::string& error) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, ExtFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
    error = cryptoError(std::string("Cannot add the certificate extension ") + OBJ_nid2sn(nid));
    return false;
  }
  return true;
}

std::unique_ptr<X509, X509Free> makeCertificate(EVP_PKEY* key, std::string& error) {
  std::unique_ptr<X509, X509Free> certificate(X509_new());
  std::unique_ptr<BIGNUM, BnFree> serial(BN_new());
  if (!certificate || !serial || X509_set_version(certificate.get(), 2) != 1 ||
      BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
      BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) == nullptr ||
      X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) == nullptr ||
      X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidDays, 0, nullptr) == nullptr ||
      X509_set_pubkey(certificate.get(), key) != 1) {
    error = cryptoError("Cannot fill the CA certificate");
    return nullptr;
  }
  X509_NAME* name = X509_get_subject_name(certificate.get());
  if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>(kCommonName), -1, -1, 0) != 1 ||
      X509_set_issuer_name(certificate.get(), name) != 1) {
    error = cryptoError("Cannot name the CA certificate");
    return nullptr;
  }
  if (!addExtension(certificate.get(), NID_basic_constraints, "critical,CA:TRUE", error) ||
      !addExtension(certificate.get(), NID_key_usage, "critical,keyCertSign,cRLSign", error) ||
      !addExtension(certificate.get(), NID_subject_key_identifier, "hash", error)) {
    return nullptr;
  }
  if (X509_sign(certificate.get(), key, EVP_sha256()) <= 0) {
    error = cryptoError("Cannot sign the CA certificate");
    return nullptr;
  }
  return certificate;
}

// The PEM text that write() puts into a memory BIO.
template <typename Write>
bool pemText(Write write, std::vector<char>& text, const char* what, std::string& error) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_secmem()));
  if (!bio || !write(bio.get())) {
    error = cryptoError(std::string("Cannot encode the ") + what);
    return false;
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  text.assign(data, data + length);
  return true;
}

}  // namespace

bool ensureCACertificate(const std::string& directory, std::string& error) {
  const std::string keyPath = directory + "/" + kCAKeyFileName;
  const std::string certificatePath = directory + "/" + kCACertificateFileName;
  struct stat info {};
  if (lstat(certificatePath.c_str(), &info) == 0) return true;
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = errnoText("Cannot create the certificate directory [" + directory + "]", errno);
    return false;
  }

  std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_EC_gen("P-256"));
  if (!key) {
    error = cryptoError("Cannot generate the CA key");
    return false;
  }
  std::unique_ptr<X509, X509Free> certificate = makeCertificate(key.get(), error);
  if (!certificate) return false;

  std::vector<char> keyText;
  std::vector<char> certificateText;
  const bool encoded =
      pemText(
          [&key](BIO* bio) {
            return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
          },
          keyText, "CA key", error) &&
      pemText([&certificate](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()) == 1; },
              certificateText, "CA certificate", error);
  Status written = encoded
                       ? writeFileAtomically(keyPath, std::string_view(keyText.data(), keyText.size()), 0600)
                       : Status::Error(error);
  if (written.ok()) {
    written = writeFileAtomically(certificatePath,
                                  std::string_view(certificateText.data(), certificateText.size()), 0644);
  }
  if (!written.ok()) error = written.message();
  OPENSSL_cleanse(keyText.data(), keyText.size());
  return written.ok();
}

}  // namespace zarezodud
