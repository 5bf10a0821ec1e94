// Turning the bytes of a script file into the UTF-8 text that is sent to the server.
//
// - A file that starts with the UTF-8 byte-order mark is taken without it; the rest must be
//   valid UTF-8.
// - A file that starts with a UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian)
//   is decoded to UTF-8, line ends included, the mark dropped. An odd byte count or an
//   unpaired surrogate is refused.
// - A file without a mark that is valid UTF-8 is kept byte for byte (NUL bytes included).
// - A file without a mark that is not valid UTF-8 is refused, unless a code page is named:
//   then it is converted from that code page with iconv.
//
// Line numbers given in errors count line feeds as a person sees them in the file; byte
// offsets are offsets into the file as stored (byte-order mark included).
//
// Thread-safety: the functions keep no state and may be called from any thread.
#ifndef ZAREZODUD_PLATFORM_TEXT_SCRIPT_DECODER_H
#define ZAREZODUD_PLATFORM_TEXT_SCRIPT_DECODER_H

#include <cstddef>
#include <string>
#include <string_view>

#include "export.h"

namespace zarezodud {

// How a script file was stored.
enum class ScriptEncoding {
  kUtf8,         // no byte-order mark, valid UTF-8 (plain ASCII included)
  kUtf8WithBom,  // UTF-8 after the UTF-8 byte-order mark
  kUtf16Le,      // UTF-16 little-endian with its byte-order mark
  kUtf16Be,      // UTF-16 big-endian with its byte-order mark
  kCodePage,     // not UTF-8, converted from the configured code page
};

// "UTF-8", "UTF-8 with byte-order mark", "UTF-16 LE", "UTF-16 BE" or "code page".
const char* describeEncoding(ScriptEncoding encoding);

// Why a file could not be decoded, and where: 1-based line and the byte offset in the file.
struct DecodeError {
  int line = 1;
  std::size_t byteOffset = 0;
  std::string reason;  // a sentence fragment, e.g. "not valid UTF-8 (byte 0xE9)"
};

// Decodes bytes into text (UTF-8) and sets encoding. codePage is the configured script code page
// ("" for none; see iconvCharsetName). False with error filled when the file cannot be
// decoded; text is then left empty.
bool decodeScriptBytes(std::string_view bytes, const std::string& codePage, std::string& text,
                       ScriptEncoding& encoding, DecodeError& error);

// The message for a file that could not be decoded: "Script [<path>] line <l>, byte offset
// <o>: <reason>."
std::string describeDecodeError(const std::string& path, const DecodeError& error);

// The iconv name of a configured code page: a number n gives "CP<n>" (1252 -> CP1252); any
// other name is used as it is (ISO-8859-1, WINDOWS-1252, ...).
std::string iconvCharsetName(const std::string& codePage);

// True when iconv can convert from codePage to UTF-8; false with error naming it otherwise.
ZAREZODUD_API bool checkCodePage(const std::string& codePage, std::string& error);

// The offset of the first byte of text that does not start or continue a valid UTF-8
// sequence (overlong forms, surrogates and values above U+10FFFF are invalid), or npos when
// all of text is valid UTF-8.
std::size_t findInvalidUtf8(std::string_view text);

}  // namespace zarezodud

#endif
