// Readers of the installation media description files that give each service pack's recut
// time (when its media were cut): the text form (lines "…:SP<n>:<seconds>" on lines holding
// "11.0.0") and the XML form (the serialized media message). Both fill a map from service-pack
// number to recut time in which the first value for a key wins. Pure functions; thread-safe.
#ifndef ZAREZODUD_ENGINE_MEDIA_INFO_H
#define ZAREZODUD_ENGINE_MEDIA_INFO_H

#include <cstdint>
#include <map>
#include <string>

namespace zarezodud {

using MediaMap = std::map<int32_t, int64_t>;

// Parses one line of the text form into (service pack, recut time). False for lines that do
// not hold "11.0.0", whose service-pack field has no digit, whose last field does not begin
// with a number (after blanks), or whose numbers do not fit.
bool parseMediaTextLine(const std::string& line, int32_t& servicePack, int64_t& recutTime);

// Adds the media sets of release `release` from the XML form; false with error set when the
// text is not a media message.
bool parseMediaXml(const std::string& xml, int32_t release, MediaMap& media, std::string& error);

// The recut time for servicePack: its own entry, else that of the largest smaller key; false
// when there is neither.
bool chooseRecutTime(const MediaMap& media, int32_t servicePack, int64_t& recutTime);

}  // namespace zarezodud

#endif
