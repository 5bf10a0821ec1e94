#include "platform/crypto/secret_bytes.h"

#include <openssl/crypto.h>

#include <utility>

namespace zarezodud {

SecretBytes::SecretBytes() = default;

SecretBytes::SecretBytes(size_t size)
    : data_(size > 0 ? new unsigned char[size]() : nullptr), size_(size), capacity_(size) {}

SecretBytes::~SecretBytes() { clear(); }

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
  if (this != &other) {
    clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void SecretBytes::shrink(size_t size) {
  if (size >= size_) return;
  OPENSSL_cleanse(data_ + size, size_ - size);
  size_ = size;
}

void SecretBytes::clear() {
  if (data_ != nullptr) {
    OPENSSL_cleanse(data_, capacity_);
    delete[] data_;
  }
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

}  // namespace zarezodud
