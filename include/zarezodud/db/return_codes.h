// Return-code classes shared by the whole engine, and the temporary output file that the
// connection service writes a script's messages into. Pure functions; thread-safe.
//   warning: 1 and 101..200; error: 2..100; anything else: no class (success).
#ifndef ZAREZODUD_DB_RETURN_CODES_H
#define ZAREZODUD_DB_RETURN_CODES_H

#include "export.h"

// 1 when code is a warning, else 0.
ZAREZODUD_C_API int isWarningCode(int code);
// 1 when code is an error, else 0.
ZAREZODUD_C_API int isErrorCode(int code);
// The code that stands after a step with code newCode, when the code so far was current:
// an error outranks a warning, a warning outranks no class, the larger code of one class wins,
// and a code without class never replaces anything.
ZAREZODUD_C_API int getEffectiveReturnCode(int current, int newCode);
// Writes the fixed temporary output path into buffer (at least 33 bytes; more when the
// output directory is overridden for tests). The directory argument is ignored.
ZAREZODUD_C_API void getTempOutputFile(const char* directory, char* buffer);
// Empties the file at path if it exists; creates nothing.
ZAREZODUD_C_API void truncateFile(const char* path);

#endif
