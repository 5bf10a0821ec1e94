#include "param_file.h"
#include "base/numbers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "base/text_trim.h"
#include "platform/text/script_decoder.h"
#include "platform/fs/regular_file.h"

namespace zcli {

namespace {

enum class Kind { kText, kPath, kSecret, kInt, kBool };

struct KeySpec {
  const char* name;
  Kind kind;
  std::function<void(ZARezodudParams&, const std::string&)> setText;
  std::function<void(ZARezodudParams&, int32_t)> setInt;
};

#define ZZ_TEXT(key, Setter, kind)                                                         \
  KeySpec {                                                                                \
    key, kind, [](ZARezodudParams& p, const std::string& v) { p.set##Setter(v); }, nullptr \
  }
#define ZZ_INT(key, Setter, kind)                                               \
  KeySpec {                                                                     \
    key, kind, nullptr, [](ZARezodudParams& p, int32_t v) { p.set##Setter(v); } \
  }

const std::vector<KeySpec>& keySpecs() {
  static const std::vector<KeySpec> specs = {
      ZZ_TEXT("productName", ProductName, Kind::kText),
      ZZ_TEXT("DBname", DBname, Kind::kText),
      ZZ_TEXT("DBServer", DBServer, Kind::kText),
      ZZ_TEXT("controlSet", ControlSet, Kind::kText),
      ZZ_TEXT("SQLInstance", SQLInstance, Kind::kText),
      ZZ_TEXT("DSN", DSN, Kind::kText),
      ZZ_TEXT("userId", UserId, Kind::kText),
      ZZ_TEXT("password", Password, Kind::kSecret),
      ZZ_TEXT("commonScriptsDir", CommonScriptsDir, Kind::kPath),
      ZZ_TEXT("databaseScriptsDir", DatabaseScriptsDir, Kind::kPath),
      ZZ_TEXT("logfile", Logfile, Kind::kPath),
      ZZ_TEXT("phaseLogFile", PhaseLogFile, Kind::kPath),
      ZZ_TEXT("failedSrcLogFile", FailedSrcLogFile, Kind::kPath),
      ZZ_TEXT("PhaseName", PhaseName, Kind::kText),
      ZZ_TEXT("ServicePackPrefix", ServicePackPrefix, Kind::kText),
      ZZ_INT("currentReleaseId", CurrentReleaseId, Kind::kInt),
      ZZ_INT("isServicePackUpgrade", IsServicePackUpgrade, Kind::kBool),
      ZZ_INT("isUpgradeRepair", IsUpgradeRepair, Kind::kBool),
      ZZ_INT("isRTMBuild", IsRTMBuild, Kind::kBool),
      ZZ_TEXT("configFile", ConfigFile, Kind::kPath),
      ZZ_TEXT("productConfigFile", ProductConfigFile, Kind::kPath),
      ZZ_INT("xmlOutput", XmlOutput, Kind::kInt),
  };
  return specs;
}

#undef ZZ_TEXT
#undef ZZ_INT

const KeySpec* findKey(const std::string& name) {
  for (const KeySpec& keySpec : keySpecs()) {
    if (zarezodud::equalsIgnoreCase(name, keySpec.name)) return &keySpec;
  }
  return nullptr;
}

bool parseInt(const std::string& text, int32_t& out) {
  int value = 0;
  if (!zarezodud::parseInt(text, INT32_MIN, INT32_MAX, value)) return false;
  out = value;
  return true;
}

bool parseBool(const std::string& text, int32_t& out) {
  using zarezodud::equalsIgnoreCase;
  if (text == "1" || equalsIgnoreCase(text, "true") || equalsIgnoreCase(text, "yes")) {
    out = 1;
  } else if (text == "0" || equalsIgnoreCase(text, "false") || equalsIgnoreCase(text, "no") || text.empty()) {
    out = 0;
  } else {
    return false;
  }
  return true;
}

// Applies one key. where names the origin for messages ("<file>:<line>" or "--set").
bool applyValue(ZARezodudParams& params, const KeySpec& keySpec, std::string value,
                const std::string& baseDir, const std::string& where, std::string& error) {
  if (keySpec.setText) {
    if (value.size() >= zarezodud::kParamTextSize) {
      error = where + ": the value of [" + keySpec.name + "] is " + std::to_string(value.size()) +
              " bytes long; at most " + std::to_string(zarezodud::kParamTextSize - 1) +
              " are allowed. Shorten it (values are never cut).";
      return false;
    }
    if (keySpec.kind == Kind::kPath && !value.empty() && value[0] != '/') {
      value = (std::filesystem::path(baseDir) / value).lexically_normal().string();
      if (value.size() >= zarezodud::kParamTextSize) {
        error = where + ": the path of [" + keySpec.name + "] is longer than " +
                std::to_string(zarezodud::kParamTextSize - 1) + " bytes once made absolute. Shorten it.";
        return false;
      }
    }
    keySpec.setText(params, value);
    return true;
  }
  int32_t number = 0;
  const bool parsed = keySpec.kind == Kind::kBool ? parseBool(value, number) : parseInt(value, number);
  if (!parsed) {
    error = where + ": [" + keySpec.name + "] must be " +
            (keySpec.kind == Kind::kBool ? std::string("true or false") : std::string("a whole number")) +
            ", not [" + value + "].";
    return false;
  }
  keySpec.setInt(params, number);
  return true;
}

// The keys that say how scripts are read. True when key is one of them (then applied, or
// error set).
bool applyScriptKey(zarezodud::ScriptSettings& scripts, const std::string& key, const std::string& value,
                    const std::string& where, bool& handled, std::string& error) {
  handled = true;
  if (zarezodud::equalsIgnoreCase(key, "ScriptCodePage")) {
    std::string reason;
    if (!value.empty() && !zarezodud::checkCodePage(value, reason)) {
      error = where + ": [ScriptCodePage] " + reason + ".";
      return false;
    }
    scripts.codePage = value;
    return true;
  }
  if (zarezodud::equalsIgnoreCase(key, "SqlcmdVariables")) {
    std::string reason;
    if (!zarezodud::parseScriptVariableList(value, scripts.variables, reason)) {
      error = where + ": [SqlcmdVariables] " + reason +
              "; write NAME=VALUE;NAME=VALUE (;; for a ';' in a value).";
      return false;
    }
    scripts.sqlcmdMode = true;
    return true;
  }
  handled = false;
  return true;
}

}  // namespace

std::vector<std::string> paramKeyNames() {
  std::vector<std::string> names;
  for (const KeySpec& keySpec : keySpecs()) names.emplace_back(keySpec.name);
  return names;
}

ParamLoadResult loadParamFile(const std::string& file, const std::vector<std::string>& overrides) {
  ParamLoadResult result;
  result.exitCode = 2;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  result.file = ec ? file : absolute.lexically_normal().string();
  // Read whole and only when it is a regular file: a FIFO or device must not make the command
  // wait, and a NUL byte must be seen rather than cut a value short.
  std::string content;
  std::string readError;
  if (zarezodud::readRegularFile(result.file, content, nullptr, readError) !=
      zarezodud::FileReadResult::kRead) {
    result.error = result.file + ": cannot read the parameter file: " + readError +
                   (readError.back() == '.' ? "" : ".") + " Check the path given with --params.";
    return result;
  }
  // A UTF-8 byte-order mark, as Windows editors write it, is not part of the first line.
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
  const std::string baseDir = std::filesystem::path(result.file).parent_path().string();
  auto params = std::make_unique<ZARezodudParams>();
  // Where each key was first given: a key given twice is refused rather than one of the two
  // silently winning.
  std::map<std::string, int> firstLine;
  int lineNo = 0;
  bool inParameters = false;
  bool sawSection = false;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    const std::string where = result.file + ":" + std::to_string(lineNo);
    if (line.find('\0') != std::string::npos) {
      result.error = where + ": the line holds a NUL byte. Remove it (values are never cut at one).";
      return result;
    }
    const std::string trimmed = zarezodud::trimCopy(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    if (trimmed[0] == '[') {
      if (trimmed.back() != ']') {
        result.error = where + ": section header without a closing ']'.";
        return result;
      }
      inParameters = zarezodud::equalsIgnoreCase(zarezodud::trimCopy(trimmed.substr(1, trimmed.size() - 2)),
                                                 "Parameters");
      sawSection = sawSection || inParameters;
      continue;
    }
    if (!inParameters) continue;
    const size_t eq = trimmed.find('=');
    if (eq == std::string::npos) {
      result.error = where + ": expected key=value.";
      return result;
    }
    const std::string key = zarezodud::trimCopy(trimmed.substr(0, eq));
    bool scriptKey = false;
    if (!applyScriptKey(result.scripts, key, zarezodud::trimCopy(trimmed.substr(eq + 1)), where, scriptKey,
                        result.error)) {
      return result;
    }
    if (scriptKey) continue;
    const KeySpec* keySpec = findKey(key);
    if (keySpec == nullptr) {
      result.error = where + ": unknown key [" + key +
                     "]. Known keys: productName, DBname, ..., xmlOutput, ScriptCodePage, SqlcmdVariables "
                     "(see zarezodud run --help).";
      return result;
    }
    const auto first = firstLine.emplace(keySpec->name, lineNo);
    if (!first.second) {
      result.error = where + ": [" + keySpec->name + "] is given again; it was first given on line " +
                     std::to_string(first.first->second) + ". Keep one of the two.";
      return result;
    }
    if (!applyValue(*params, *keySpec, zarezodud::trimCopy(trimmed.substr(eq + 1)), baseDir, where,
                    result.error)) {
      return result;
    }
  }
  if (!sawSection) {
    result.error = result.file + ": no [Parameters] section. Put the keys under a [Parameters] header.";
    return result;
  }

  std::error_code cwdError;
  const std::string cwd = std::filesystem::current_path(cwdError).string();
  for (const std::string& item : overrides) {
    const size_t eq = item.find('=');
    if (eq != std::string::npos) {
      bool scriptKey = false;
      if (!applyScriptKey(result.scripts, zarezodud::trimCopy(item.substr(0, eq)), item.substr(eq + 1),
                          "--set", scriptKey, result.error)) {
        return result;
      }
      if (scriptKey) continue;
    }
    const KeySpec* keySpec =
        eq == std::string::npos ? nullptr : findKey(zarezodud::trimCopy(item.substr(0, eq)));
    if (keySpec == nullptr) {
      result.exitCode = 64;
      result.error = "--set " + item.substr(0, eq) + ": expected key=value with a parameter file key.";
      return result;
    }
    if (keySpec->kind == Kind::kSecret) {
      result.exitCode = 64;
      result.error =
          "--set password: a password on the command line is visible to other users; put it in "
          "the environment variable ZAREZODUD_PASSWORD instead.";
      return result;
    }
    if (!applyValue(*params, *keySpec, item.substr(eq + 1), cwd, "--set", result.error)) return result;
  }

  if (const char* password = std::getenv("ZAREZODUD_PASSWORD")) {
    if (std::string(password).size() >= zarezodud::kParamTextSize) {
      result.error = "ZAREZODUD_PASSWORD: the password is longer than 2047 bytes.";
      return result;
    }
    params->setPassword(password);
  }
  result.ok = true;
  result.exitCode = 0;
  result.params = std::move(params);
  return result;
}

}  // namespace zcli
