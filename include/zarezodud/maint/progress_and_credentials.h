// Installer progress and stand-alone credential decryption, offered to the installer around the
// library under plain C symbol names. Thread-safe (each call uses its own accessors).
#ifndef ZAREZODUD_MAINT_PROGRESS_AND_CREDENTIALS_H
#define ZAREZODUD_MAINT_PROGRESS_AND_CREDENTIALS_H

#include <string>

#include "export.h"

// Writes percent into the installer's "nProgressPercent" value, but only when the installer
// created it: 1 when written or nothing to write, 0 when writing failed (error says why).
// Declared with C linkage; the error text is a C++ string, so C callers cannot use it.
extern "C" ZAREZODUD_API int setProgress(int percent, std::string& error);

// Decrypts a stored credential text into out ("NN" user-name length, user, password).
// 0 on success, -1 when the decrypted text has no valid length prefix (out untouched).
// getDecryptedUserandPwd2 copies without a bound: out must hold at least 3,075 bytes.
ZAREZODUD_C_API int getDecryptedUserandPwd2(const char* encrypted, char* out);
// The same with the copy bounded to 3,075 bytes.
ZAREZODUD_C_API int getDecryptedUserandPwd(const char* encrypted, char* out);

#endif
