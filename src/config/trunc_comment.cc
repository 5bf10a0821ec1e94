// Character classes of the profile syntax and the comment scanner that callers use to cut
// trailing comments off a line. The store's own readers never strip comments.
#include <stddef.h>

#include "config/profile_store.h"
#include "base/text_trim.h"

int IsEscape(int c) { return c == '\\'; }
int IsQuote(int c) { return c == '"'; }
int IsComment(int c) { return c == '/' || c == '#' || c == ';'; }

namespace {

enum class ScanState { kAfterSpace, kQuoted, kInToken, kEscaped };

constexpr size_t kNone = static_cast<size_t>(-1);

}  // namespace

int TruncComment(char* text) {
  if (text == nullptr) return PROFILE_TOO_LONG;
  ScanState state = ScanState::kAfterSpace;
  ScanState beforeEscape = ScanState::kAfterSpace;
  size_t trailingSpace = kNone;
  size_t commentStart = kNone;
  for (size_t i = 0; text[i] != '\0' && commentStart == kNone; ++i) {
    const char c = text[i];
    if (state == ScanState::kEscaped) {
      // Any character after a backslash, a second backslash included, is literal and ends
      // the escape. An escaped character after white space starts a token.
      state = beforeEscape;
      if (state == ScanState::kAfterSpace) {
        state = ScanState::kInToken;
        trailingSpace = kNone;
      }
      continue;
    }
    if (IsEscape(c)) {
      beforeEscape = state;
      state = ScanState::kEscaped;
      continue;
    }
    switch (state) {
      case ScanState::kAfterSpace:
        if (IsQuote(c)) {
          state = ScanState::kQuoted;
          trailingSpace = kNone;
        } else if (IsComment(c)) {
          commentStart = i;
        } else if (!zarezodud::isTrimSpace(c)) {
          state = ScanState::kInToken;
          trailingSpace = kNone;
        }
        break;
      case ScanState::kQuoted:
        if (IsQuote(c)) state = ScanState::kInToken;
        break;
      case ScanState::kInToken:
        if (zarezodud::isTrimSpace(c)) {
          trailingSpace = i;
          state = ScanState::kAfterSpace;
        }
        break;
      case ScanState::kEscaped:
        break;
    }
  }
  if (commentStart != kNone) {
    text[commentStart] = '\0';
  } else if (trailingSpace != kNone) {
    text[trailingSpace] = '\0';
  }
  return PROFILE_SUCCESS;
}
