#include "db/script_formatter.h"

namespace zarezodud {

namespace {

enum class Conversion { kText, kInt, kLong, kUnsignedLong, kPercent, kInvalid };

// The conversion starting after the '%' at script[pos]; length receives the number of
// characters it takes after the '%'.
Conversion conversionAt(const std::string& script, std::size_t pos, std::size_t& length) {
  const auto at = [&script](std::size_t i) { return i < script.size() ? script[i] : '\0'; };
  length = 1;
  switch (at(pos)) {
    case 's':
      return Conversion::kText;
    case 'd':
      return Conversion::kInt;
    case '%':
      return Conversion::kPercent;
    case 'l':
      length = 2;
      if (at(pos + 1) == 'd') return Conversion::kLong;
      if (at(pos + 1) == 'u') return Conversion::kUnsignedLong;
      return Conversion::kInvalid;
    default:
      return Conversion::kInvalid;
  }
}

}  // namespace

bool formatScript(const std::string& script, const std::vector<ScriptArg>& args, std::string& out) {
  out.clear();
  std::string result;
  result.reserve(script.size());
  std::size_t next = 0;
  std::size_t pos = 0;
  while (pos < script.size()) {
    const std::size_t percent = script.find('%', pos);
    if (percent == std::string::npos) {
      result.append(script, pos, std::string::npos);
      break;
    }
    result.append(script, pos, percent - pos);
    std::size_t length = 0;
    const Conversion conversion = conversionAt(script, percent + 1, length);
    pos = percent + 1 + length;
    if (conversion == Conversion::kPercent) {
      result += '%';
      continue;
    }
    if (conversion == Conversion::kInvalid || next >= args.size()) return false;
    const ScriptArg& arg = args[next++];
    if ((conversion == Conversion::kText) != arg.isText()) return false;
    switch (conversion) {
      case Conversion::kText:
        result += arg.text();
        break;
      case Conversion::kInt:
        result += std::to_string(static_cast<int>(arg.integer()));
        break;
      case Conversion::kLong:
        result += std::to_string(arg.integer());
        break;
      default:
        result += std::to_string(static_cast<unsigned long>(arg.integer()));
        break;
    }
  }
  out = std::move(result);
  return true;
}

}  // namespace zarezodud
