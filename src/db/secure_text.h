// Handling of secret text: clearing buffers and strings that held credentials, and reading the
// length prefix of a decrypted credential text ("NN" + user + password). Thread-safe.
#ifndef ZAREZODUD_DB_SECURE_TEXT_H
#define ZAREZODUD_DB_SECURE_TEXT_H

#include <cstddef>
#include <string>

#include "export.h"

namespace zarezodud {

// Overwrites size bytes at data with zeros in a way the compiler may not drop.
void clearBuffer(void* data, std::size_t size);
// Overwrites the string's characters, then empties it.
ZAREZODUD_API void clearString(std::string& text);
// The user-name length L of a credential text: its first two characters as a decimal number;
// 0 when they are not two digits (then the text has no valid prefix).
int credentialUserLength(const char* text);

}  // namespace zarezodud

#endif
