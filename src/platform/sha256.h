// SHA-256 digests of byte strings and files, over libcrypto. The command-line front end uses
// them to tell whether a script changed between an interrupted run and its resumption.
//
// Thread-safety: the functions keep no state and may be called from any thread.
#ifndef ZAREZODUD_PLATFORM_SHA256_H
#define ZAREZODUD_PLATFORM_SHA256_H

#include <string>
#include <string_view>

namespace zarezodud {

// The digest of data as 64 lower-case hexadecimal characters.
std::string sha256Hex(std::string_view data);

// The digest of the file's content. False (hex untouched, error set to a text naming the
// file and the reason) when the file cannot be read.
bool sha256File(const std::string& path, std::string& hex, std::string& error);

}  // namespace zarezodud

#endif
