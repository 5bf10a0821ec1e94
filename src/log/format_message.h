// Message formatting with the engine's fixed bound: messages are printf-style texts formatted
// into a 4,096-byte buffer, so a formatted message (file names included) is cut at 4,095
// characters. Thread-safe.
#ifndef ZAREZODUD_LOG_FORMAT_MESSAGE_H
#define ZAREZODUD_LOG_FORMAT_MESSAGE_H

#include <string>

namespace zarezodud {

constexpr int kMessageBufferSize = 4096;

std::string formatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zarezodud

#endif
