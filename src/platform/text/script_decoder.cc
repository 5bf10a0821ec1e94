#include "platform/text/script_decoder.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zarezodud {
namespace {

// 1 + the number of line feeds in bytes before offset.
int lineAt(std::string_view bytes, std::size_t offset) {
  return 1 + static_cast<int>(
                 std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

std::string hexByte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

std::string hexUnit(std::uint32_t unit) {
  char text[12];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(unit));
  return text;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the UTF-16 code units after the two-byte mark.
bool decodeUtf16(std::string_view bytes, bool bigEndian, std::string& text, DecodeError& error) {
  const char* name = bigEndian ? "UTF-16 BE" : "UTF-16 LE";
  const std::size_t n = bytes.size();
  const auto unitAt = [&](std::size_t at) -> std::uint32_t {
    const auto b0 = static_cast<unsigned char>(bytes[at]);
    const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (static_cast<std::uint32_t>(b0) << 8 | b1)
                     : (static_cast<std::uint32_t>(b1) << 8 | b0);
  };
  std::string out;
  out.reserve(n / 2 + n / 8);
  int line = 1;
  std::size_t at = 2;
  for (; at + 1 < n; at += 2) {
    std::uint32_t cp = unitAt(at);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const std::uint32_t low = at + 3 < n ? unitAt(at + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) {
        error =
            DecodeError{line, at, std::string(name) + " with an unpaired surrogate (" + hexUnit(cp) + ")"};
        return false;
      }
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      error = DecodeError{line, at, std::string(name) + " with an unpaired surrogate (" + hexUnit(cp) + ")"};
      return false;
    }
    if (cp == '\n') ++line;
    appendUtf8(out, cp);
  }
  if (at < n) {
    error = DecodeError{line, at,
                        std::string(name) + " with an odd number of bytes (" + std::to_string(n) +
                            "): the last byte is half a character"};
    return false;
  }
  text = std::move(out);
  return true;
}

// Converts bytes from the code page to UTF-8 with iconv.
bool convertCodePage(std::string_view bytes, const std::string& codePage, std::string& text,
                     DecodeError& error) {
  iconv_t cd = ::iconv_open("UTF-8", iconvCharsetName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    error = DecodeError{1, 0, "code page [" + codePage + "] is not known to iconv"};
    return false;
  }
  std::string out(bytes.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::size_t produced = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = &out[produced];
    std::size_t outLeft = out.size() - produced;
    const std::size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    produced = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    const std::size_t offset = bytes.size() - inLeft;
    error = DecodeError{lineAt(bytes, offset), offset,
                        errno == EINVAL ? "the file ends inside a character of code page [" + codePage + "]"
                                        : "byte " + hexByte(static_cast<unsigned char>(bytes[offset])) +
                                              " is not a character of code page [" + codePage + "]"};
    ok = false;
    break;
  }
  ::iconv_close(cd);
  if (!ok) return false;
  out.resize(produced);
  text = std::move(out);
  return true;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

const char* describeEncoding(ScriptEncoding encoding) {
  switch (encoding) {
    case ScriptEncoding::kUtf8:
      return "UTF-8";
    case ScriptEncoding::kUtf8WithBom:
      return "UTF-8 with byte-order mark";
    case ScriptEncoding::kUtf16Le:
      return "UTF-16 LE";
    case ScriptEncoding::kUtf16Be:
      return "UTF-16 BE";
    case ScriptEncoding::kCodePage:
      return "code page";
  }
  return "unknown";
}

std::size_t findInvalidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    // Plain ASCII goes eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t chunk;
      std::memcpy(&chunk, s + i, sizeof chunk);
      if ((chunk & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    std::uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      min = 0x10000;
    } else {
      return i;
    }
    if (i + length > n) return i;
    std::uint32_t cp = c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      if (!isContinuation(s[i + k])) return i;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += length;
  }
  return std::string_view::npos;
}

bool decodeScriptBytes(std::string_view bytes, const std::string& codePage, std::string& text,
                       ScriptEncoding& encoding, DecodeError& error) {
  text.clear();
  const auto starts = [&](const char* mark, std::size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), mark, length) == 0;
  };
  if (starts("\xEF\xBB\xBF", 3)) {
    const std::string_view rest = bytes.substr(3);
    const std::size_t bad = findInvalidUtf8(rest);
    if (bad != std::string_view::npos) {
      error = DecodeError{lineAt(bytes, bad + 3), bad + 3,
                          "starts with the UTF-8 byte-order mark but is not valid UTF-8 (byte " +
                              hexByte(static_cast<unsigned char>(rest[bad])) + ")"};
      return false;
    }
    text.assign(rest);
    encoding = ScriptEncoding::kUtf8WithBom;
    return true;
  }
  if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
    const bool bigEndian = bytes[0] == '\xFE';
    encoding = bigEndian ? ScriptEncoding::kUtf16Be : ScriptEncoding::kUtf16Le;
    return decodeUtf16(bytes, bigEndian, text, error);
  }
  const std::size_t bad = findInvalidUtf8(bytes);
  if (bad == std::string_view::npos) {
    text.assign(bytes);
    encoding = ScriptEncoding::kUtf8;
    return true;
  }
  if (codePage.empty()) {
    error = DecodeError{lineAt(bytes, bad), bad,
                        "not valid UTF-8 (byte " + hexByte(static_cast<unsigned char>(bytes[bad])) +
                            "); save the file as UTF-8, or name its code page with --script-codepage or "
                            "ScriptCodePage="};
    return false;
  }
  encoding = ScriptEncoding::kCodePage;
  return convertCodePage(bytes, codePage, text, error);
}

std::string describeDecodeError(const std::string& path, const DecodeError& error) {
  return "Script [" + path + "] line " + std::to_string(error.line) + ", byte offset " +
         std::to_string(error.byteOffset) + ": " + error.reason + ".";
}

std::string iconvCharsetName(const std::string& codePage) {
  const bool numeric = !codePage.empty() && std::all_of(codePage.begin(), codePage.end(),
                                                        [](char c) { return c >= '0' && c <= '9'; });
  return numeric ? "CP" + codePage : codePage;
}

bool checkCodePage(const std::string& codePage, std::string& error) {
  if (codePage.empty()) {
    error = "the script code page is empty";
    return false;
  }
  iconv_t cd = ::iconv_open("UTF-8", iconvCharsetName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    error = "code page [" + codePage + "] is not known to iconv (iconv --list shows the names it knows)";
    return false;
  }
  ::iconv_close(cd);
  return true;
}

}  // namespace zarezodud
