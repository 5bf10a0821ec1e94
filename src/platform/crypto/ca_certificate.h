// The Corehub's certificate authority on disk: a private key ("ca.key", mode 0600) and a
// self-signed CA certificate ("ca.crt") in one directory, made with libcrypto. Each file is
// written to a temporary file in the same directory, flushed and renamed into place, the key
// before the certificate, so the certificate's presence means the pair is complete.
//
// Thread-safety: the functions hold no state; two processes creating the same pair at once
// each produce a complete pair and the last rename wins (key and certificate may then come
// from different runs only if they interleave exactly; callers run one upgrade at a time).
#ifndef ZAREZODUD_PLATFORM_CRYPTO_CA_CERTIFICATE_H
#define ZAREZODUD_PLATFORM_CRYPTO_CA_CERTIFICATE_H

#include <string>

namespace zarezodud {

inline constexpr const char kCAKeyFileName[] = "ca.key";
inline constexpr const char kCACertificateFileName[] = "ca.crt";

// Makes sure directory holds a CA certificate: when directory/ca.crt exists nothing changes;
// otherwise directory is created (mode 0700) when missing, and a new P-256 key and a
// self-signed certificate (CA:TRUE, key usage keyCertSign and cRLSign, ten years) are written.
// True on success; false with error naming the step and file that failed.
bool ensureCACertificate(const std::string& directory, std::string& error);

}  // namespace zarezodud

#endif
