// SecretBytes: a byte buffer for key material and decrypted credentials that is wiped
// (OPENSSL_cleanse) whenever its storage is released, so that plain text does not linger in
// freed memory. Move-only, so a secret is never silently duplicated.
//
// Thread-safety: one object belongs to one thread at a time.
#ifndef ZAREZODUD_PLATFORM_CRYPTO_SECRET_BYTES_H
#define ZAREZODUD_PLATFORM_CRYPTO_SECRET_BYTES_H

#include <cstddef>

namespace zarezodud {

class SecretBytes {
 public:
  SecretBytes();
  explicit SecretBytes(size_t size);  // size zero bytes
  ~SecretBytes();
  SecretBytes(SecretBytes&& other) noexcept;
  SecretBytes& operator=(SecretBytes&& other) noexcept;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Keeps the first size bytes (size <= size()) and wipes the rest.
  void shrink(size_t size);
  // Wipes and releases everything.
  void clear();

 private:
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace zarezodud

#endif
