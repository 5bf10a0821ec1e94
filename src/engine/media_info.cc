#include "engine/media_info.h"

#include <limits>

#include "platform/messaging/sg_message_base.h"

namespace zarezodud {

namespace {

constexpr int kMediaGroup = 23;
constexpr int kAvailableMediaKind = 169;
constexpr int kMediaKind = 152;
constexpr int kMediaSetsField = 1;
constexpr int kMediaField = 1;
constexpr int kServicePackField = 1;
constexpr int kReleaseField = 6;
constexpr int kRecutTimeField = 12;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool parseMediaTextLine(const std::string& line, int32_t& servicePack, int64_t& recutTime) {
  if (line.find("11.0.0") == std::string::npos) return false;
  const size_t last = line.rfind(':');
  if (last == std::string::npos) return false;
  const size_t previous = last == 0 ? std::string::npos : line.rfind(':', last - 1);
  const size_t fieldStart = previous == std::string::npos ? 0 : previous + 1;

  int64_t sp = 0;
  bool anyDigit = false;
  for (size_t i = fieldStart; i < last; ++i) {
    if (!isDigit(line[i])) continue;
    anyDigit = true;
    sp = sp * 10 + (line[i] - '0');
    if (sp > std::numeric_limits<int32_t>::max()) return false;
  }
  if (!anyDigit) return false;

  size_t pos = last + 1;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || !isDigit(line[pos])) return false;
  int64_t time = 0;
  for (; pos < line.size() && isDigit(line[pos]); ++pos) {
    const int digit = line[pos] - '0';
    if (time > (std::numeric_limits<int64_t>::max() - digit) / 10) return false;
    time = time * 10 + digit;
  }
  servicePack = static_cast<int32_t>(sp);
  recutTime = time;
  return true;
}

bool parseMediaXml(const std::string& xml, int32_t release, MediaMap& media, std::string& error) {
  SGMessageBase message(kMediaGroup, kAvailableMediaKind);
  if (!message.unserialize(xml, &error)) return false;
  const SGMessageList* sets = message.getlistobject(1, kMediaSetsField, 0, 0);
  if (sets == nullptr) return true;
  for (size_t i = 0; i < sets->size(); ++i) {
    const SGMessageBase* info =
        sets->at(i).getObjectAccessor(1, kMediaField, 0, 0, kMediaGroup, kMediaKind);
    if (info == nullptr) continue;
    if (info->getint64(kReleaseField, 0, 0) != release) continue;
    const int64_t sp = info->getint64(kServicePackField, 0, 0);
    if (sp < std::numeric_limits<int32_t>::min() || sp > std::numeric_limits<int32_t>::max()) continue;
    media.emplace(static_cast<int32_t>(sp), info->getint64(kRecutTimeField, 0, 0));
  }
  return true;
}

bool chooseRecutTime(const MediaMap& media, int32_t servicePack, int64_t& recutTime) {
  auto exact = media.find(servicePack);
  if (exact != media.end()) {
    recutTime = exact->second;
    return true;
  }
  auto above = media.lower_bound(servicePack);
  if (above == media.begin()) return false;
  recutTime = std::prev(above)->second;
  return true;
}

}  // namespace zarezodud
