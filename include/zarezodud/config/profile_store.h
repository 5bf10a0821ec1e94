/* The profile-file store: reads and writes INI-style text files made of "[section]" header lines
 * and key=value lines, through C-style functions with plain character buffers and integer
 * result codes. Nothing is cached: every lookup opens, scans and closes the file; every write
 * rewrites the whole file into a uniquely named temporary file beside it and renames that over
 * the target, so a reader sees either the old or the new file, never a partial one.
 *
 * Line rules shared by every function: lines are read whole and trimmed of leading and trailing
 * white space; a header matches when the whole trimmed line equals "[name]" ignoring case; an
 * entry line is split at its LAST '=' (key before, value after, both trimmed); keys compare
 * whole, ignoring case; a section ends at the next line that starts with '['; only the first
 * occurrence of a section and of a key counts. A line whose trimmed text is longer than 255
 * characters never matches a header (though one starting with '[' still ends a section); when
 * it is the first line of the requested key, lookups give PROFILE_TOO_LONG and a write puts the
 * new entry in its place. A line holding a NUL byte is a read error (PROFILE_READ_ERROR) for
 * every function that reaches it: it is never cut at the NUL or joined to the next line, and a
 * write leaves such a file untouched.
 *
 * Result codes (PROFILE_*): 0 success, negative on failure. A null text argument gives
 * PROFILE_TOO_LONG, a null output buffer PROFILE_BUFFER_SMALL, a null file (name or stream)
 * PROFILE_CANNOT_OPEN for the path functions, PROFILE_READ_ERROR for ReadLine and
 * PROFILE_WRITE_ERROR for WriteLine. Sizes are byte counts of the caller's buffer including the
 * terminating NUL.
 *
 * Thread-safety: the functions hold no state and may be called from any thread. Writers of
 * files in one directory exclude each other for the length of a write (an advisory lock on
 * the directory), so concurrent writes of different keys to one file are all kept; readers
 * take no lock and see whole files only. */
#ifndef ZAREZODUD_CONFIG_PROFILE_STORE_H
#define ZAREZODUD_CONFIG_PROFILE_STORE_H

#include <stddef.h>
#include <stdio.h>

#include "export.h"

#define PROFILE_SUCCESS 0
#define PROFILE_END_OF_FILE (-1)  /* ReadLine only */
#define PROFILE_NO_SECTION (-2)   /* section header not found */
#define PROFILE_NO_KEY (-3)       /* key not found in the section */
#define PROFILE_TOO_LONG (-4)     /* text too long for a 255-character line, or null text */
#define PROFILE_BUFFER_SMALL (-5) /* destination buffer too small (or null) */
#define PROFILE_NOT_VALUE (-6)    /* value is not a number / not a boolean word */
/* The file cannot be opened; for writes also: no '/' in the path, or the temporary file cannot
 * be created. */
#define PROFILE_CANNOT_OPEN (-7)
#define PROFILE_READ_ERROR (-8)
#define PROFILE_WRITE_ERROR (-9)
#define PROFILE_CANNOT_REPLACE (-10) /* the temporary file cannot be moved to the target's name */

/* Longest section name in a lookup or write, and longest key plus value in a write. */
#define PROFILE_MAX_SECTION 252
#define PROFILE_MAX_KEY_AND_VALUE 253
/* Longest entry text accepted by ParseProfileEntry. */
#define PROFILE_MAX_ENTRY 255
/* Longest file path (and temporary path) for a write. */
#define PROFILE_MAX_PATH 1023

/* ---- Line and text functions ---- */

/* Trims leading and trailing white space in place, moving the rest to the start of the buffer.
 * Returns 0, or PROFILE_TOO_LONG for a null text. */
ZAREZODUD_C_API int TruncWhiteSpace(char* text);

/* Non-zero for a backslash, a double quote, and '/', '#' or ';' respectively. */
ZAREZODUD_C_API int IsEscape(int c);
ZAREZODUD_C_API int IsQuote(int c);
ZAREZODUD_C_API int IsComment(int c);

/* Cuts a trailing comment off a line in place. A comment starts at '/', '#' or ';' standing
 * at the start of the line or after white space, outside double quotes and not behind a
 * backslash (a backslash makes the next character literal, a second backslash included).
 * Without a comment, trailing white space after the last token is removed. Text before a
 * comment keeps its white space. Returns 0, or PROFILE_TOO_LONG for a null text. */
ZAREZODUD_C_API int TruncComment(char* text);

/* Reads the next whole line of file, trims it and copies it to out when its length is less than
 * size. Returns 0; PROFILE_BUFFER_SMALL when it does not fit (the line is consumed and out is
 * left empty); PROFILE_END_OF_FILE when no line is left; PROFILE_READ_ERROR on a read error. */
ZAREZODUD_C_API int ReadLine(FILE* file, size_t size, char* out);

/* Writes text and a newline. Returns 0 or PROFILE_WRITE_ERROR. */
ZAREZODUD_C_API int WriteLine(FILE* file, const char* text);

/* Splits one line at its last '=' into the trimmed key and value; without '=' the whole trimmed
 * line is the key and the value is empty. Either output may be null and is then skipped; both
 * are set to empty first. Returns PROFILE_TOO_LONG when line is longer than 255 characters,
 * PROFILE_BUFFER_SMALL when the key or value does not fit its buffer, else 0. */
ZAREZODUD_C_API int ParseProfileEntry(const char* line, char* keyOut, size_t keySize, char* valueOut,
                                      size_t valueSize);

/* ---- Lookups ---- */

/* Copies the whole trimmed entry line (key, '=' and value) of key in section to out; out is set
 * to empty first. Returns 0, PROFILE_CANNOT_OPEN, PROFILE_TOO_LONG (section name over 252
 * characters), PROFILE_NO_SECTION, PROFILE_NO_KEY, PROFILE_BUFFER_SMALL or PROFILE_READ_ERROR. */
ZAREZODUD_C_API int GetProfileEntry(const char* section, const char* key, char* out, size_t outSize,
                                    const char* file);

/* Copies the value of key in section to out. out first receives defaultValue ("" when null);
 * a missing section or key returns 0 and leaves that default. An entry without '=' yields an
 * empty value. Other failures are returned with the default left in out. */
ZAREZODUD_C_API int GetProfileString(const char* section, const char* key, const char* defaultValue,
                                     char* out, size_t outSize, const char* file);

/* The value of key in section as a number: defaultValue when the section or key is missing,
 * 0 for an empty value, PROFILE_NOT_VALUE when it holds anything but 1 to 10 decimal digits or
 * exceeds 2147483647, PROFILE_BUFFER_SMALL for 11 or more characters; other lookup failures as
 * they are. Values are never negative, so a negative result is always a result code. */
ZAREZODUD_C_API int GetProfileLong(const char* section, const char* key, int defaultValue, const char* file);

/* Reads a boolean word into *out (1 true, 0 false), which first receives defaultValue.
 * True: YES Y 1 ON ENABLED ENABLE TRUE; false: NO N 0 OFF DISABLED DISABLE FALSE; any case.
 * An empty value or a missing section or key returns 0 with the default; another word returns
 * PROFILE_NOT_VALUE with the default kept; other lookup failures are returned. */
ZAREZODUD_C_API int GetProfileBoolean(const char* section, const char* key, char defaultValue, char* out,
                                      const char* file);

/* ---- Writes ---- */

/* Sets key=value (written unchanged, no spaces around '=') in section of file, creating the
 * file or the section when missing and replacing the first line of the section whose key
 * equals key (ignoring case). Every line of the rewritten file is trimmed. The target's
 * permission bits are kept. On any failure the target is untouched and no temporary file is
 * left. Returns 0; PROFILE_CANNOT_OPEN (no '/' in the path, path too long, temporary file or
 * target cannot be opened); PROFILE_TOO_LONG (section over 252 characters, key plus value over
 * 253); PROFILE_READ_ERROR; PROFILE_WRITE_ERROR; PROFILE_CANNOT_REPLACE. */
ZAREZODUD_C_API int SetProfileString(const char* section, const char* key, const char* value,
                                     const char* file);

/* Writes value formatted with "%ld" through SetProfileString. */
ZAREZODUD_C_API int SetProfileLong(const char* section, const char* key, long value, const char* file);

/* Writes "1" for a non-zero value and "0" for zero through SetProfileString. */
ZAREZODUD_C_API int SetProfileBoolean(const char* section, const char* key, char value, const char* file);

/* ---- Compatibility wrappers ---- */

/* 1 when GetProfileString returns 0 (a missing section or key included, with the default in
 * out), else 0. */
ZAREZODUD_C_API int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                            char* out, size_t outSize, const char* file);

/* 1 when SetProfileString returns 0, else 0. */
ZAREZODUD_C_API int WritePrivateProfileString(const char* section, const char* key, const char* value,
                                              const char* file);

/* What GetProfileLong returns. */
ZAREZODUD_C_API int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                         const char* file);

#endif /* ZAREZODUD_CONFIG_PROFILE_STORE_H */
