// SHA-256 digests of byte strings and files, over libcrypto. The command-line front end uses
// them to tell whether a script changed between an interrupted run and its resumption.
//
// Thread-safety: the functions keep no state and may be called from any thread.
#ifndef ZAREZODUD_PLATFORM_CRYPTO_SHA256_H
#define ZAREZODUD_PLATFORM_CRYPTO_SHA256_H

#include <memory>
#include <string>
#include <string_view>

#include "export.h"

namespace zarezodud {

// An incremental digest: update() with the bytes in order, then finishHex() once.
// Move-only; one thread at a time.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::string_view data);
  // The digest of everything passed to update(), as 64 lower-case hexadecimal characters;
  // "" when libcrypto failed at any step. The object is spent afterwards.
  std::string finishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The digest of data as 64 lower-case hexadecimal characters.
std::string sha256Hex(std::string_view data);

// The digest of the file's content. False (hex untouched, error set to a text naming the
// file and the reason) when the file cannot be read.
ZAREZODUD_API bool sha256File(const std::string& path, std::string& hex, std::string& error);

}  // namespace zarezodud

#endif
