#include "platform/registry/rk_platform_info.h"

#include <cstring>

#include "platform/registry/registry_file.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/rk_pi_focus.h"

namespace zarezodud {
namespace {

constexpr char kInvalidArgument[] = "invalid argument: key path and value name are required";

std::string describe(const char* keyPath, const char* valueName) {
  return "[" + std::string(valueName) + "] under key [" + keyPath + "]";
}

}  // namespace

RKPlatformInfo::RKPlatformInfo() = default;

RKPlatformInfo::RKPlatformInfo(int, int) {}

int RKPlatformInfo::setFocus(const char* name) {
  if (name == nullptr) {
    lastError_ = "invalid argument: no focus name";
    return 0;
  }
  focus_ = name;
  return 1;
}

std::string RKPlatformInfo::getFocus() const { return focus_ ? *focus_ : RKPI_Focus::getFocus(); }

std::string RKPlatformInfo::getFilePath() {
  std::string path;
  return resolvePath(&path) ? path : std::string();
}

bool RKPlatformInfo::resolvePath(std::string* path) {
  return registryFilePath(getFocus(), path, &lastError_);
}

bool RKPlatformInfo::loadCurrent(RegistryContent* content, std::string* path) {
  if (!resolvePath(path)) return false;
  return RegistryFile(*path).load(content, &lastError_);
}

const RegistryValue* RKPlatformInfo::findValue(const RegistryContent& content, const std::string& path,
                                               const char* keyPath, const char* valueName) {
  auto key = content.keys.find(keyPath);
  if (key != content.keys.end()) {
    auto value = key->second.find(valueName);
    if (value != key->second.end()) return &value->second;
  }
  lastError_ = "value " + describe(keyPath, valueName) + " not found in [" + path + "]";
  if (!content.problems.empty()) {
    lastError_ += " (" + std::to_string(content.problems.size()) +
                  " unreadable line(s) ignored in that file, first " + content.problems.front() + ")";
  }
  return nullptr;
}

int RKPlatformInfo::getString(const char* keyPath, const char* valueName, char* buf, unsigned long& size) {
  if (buf == nullptr || size == 0) {
    lastError_ = "invalid argument: no room for the value";
    return 0;
  }
  buf[0] = '\0';
  std::string text;
  if (!getString(keyPath, valueName, &text)) return 0;
  if (text.size() >= size) {
    lastError_ = "value " + describe(keyPath, valueName) + " is " + std::to_string(text.size()) +
                 " bytes long; the buffer holds " + std::to_string(size - 1);
    size = static_cast<unsigned long>(text.size());
    return 0;
  }
  std::memcpy(buf, text.data(), text.size());
  buf[text.size()] = '\0';
  size = static_cast<unsigned long>(text.size());
  return 1;
}

bool RKPlatformInfo::readValue(const char* keyPath, const char* valueName, RegistryValue::Type type,
                               RegistryValue* out) {
  if (keyPath == nullptr || valueName == nullptr) {
    lastError_ = kInvalidArgument;
    return false;
  }
  RegistryContent content;
  std::string path;
  if (!loadCurrent(&content, &path)) return false;
  const RegistryValue* value = findValue(content, path, keyPath, valueName);
  if (value == nullptr) return false;
  if (value->type != type) {
    lastError_ = "value " + describe(keyPath, valueName) +
                 (type == RegistryValue::Type::kString ? " is a number, not a string" : " is a string, not a number");
    return false;
  }
  *out = *value;
  return true;
}

int RKPlatformInfo::getString(const char* keyPath, const char* valueName, std::string* out) {
  if (out == nullptr) {
    lastError_ = kInvalidArgument;
    return 0;
  }
  RegistryValue value;
  if (!readValue(keyPath, valueName, RegistryValue::Type::kString, &value)) return 0;
  *out = value.text;
  return 1;
}

int RKPlatformInfo::getNumber(const char* keyPath, const char* valueName, unsigned long long* out) {
  if (out == nullptr) {
    lastError_ = kInvalidArgument;
    return 0;
  }
  RegistryValue value;
  if (!readValue(keyPath, valueName, RegistryValue::Type::kNumber, &value)) return 0;
  *out = value.number;
  return 1;
}

int RKPlatformInfo::store(const char* keyPath, const char* valueName, const RegistryValue& value) {
  if (keyPath == nullptr || valueName == nullptr) {
    lastError_ = kInvalidArgument;
    return 0;
  }
  std::string path;
  if (!resolvePath(&path)) return 0;
  const std::string key(keyPath), name(valueName);
  auto change = [&](RegistryContent* content, std::string*) {
    content->keys[key][name] = value;
    return true;
  };
  return RegistryFile(path).update(change, &lastError_) ? 1 : 0;
}

int RKPlatformInfo::setNumber(const char* keyPath, const char* valueName, unsigned long long value) {
  return store(keyPath, valueName, RegistryValue::ofNumber(value));
}

int RKPlatformInfo::setString(const char* keyPath, const char* valueName, const char* value) {
  if (value == nullptr) {
    lastError_ = "invalid argument: no value text";
    return 0;
  }
  return store(keyPath, valueName, RegistryValue::ofString(value));
}

int RKPlatformInfo::setString(const char* keyPath, const char* valueName, const std::string& value) {
  return store(keyPath, valueName, RegistryValue::ofString(value));
}

int RKPlatformInfo::deleteValue(const char* keyPath, const char* valueName) {
  if (keyPath == nullptr || valueName == nullptr) {
    lastError_ = kInvalidArgument;
    return 0;
  }
  std::string path;
  if (!resolvePath(&path)) return 0;
  const std::string key(keyPath), name(valueName);
  auto change = [&](RegistryContent* content, std::string* error) {
    auto found = content->keys.find(key);
    if (found == content->keys.end() || found->second.erase(name) == 0) {
      *error = "value " + describe(keyPath, valueName) + " not found in [" + path + "]";
      return false;
    }
    if (found->second.empty()) content->keys.erase(found);
    return true;
  };
  return RegistryFile(path).update(change, &lastError_) ? 1 : 0;
}

int RKPlatformInfo::listValues(const char* keyPath, std::vector<RegistryEntry>* out) {
  if (out == nullptr) {
    lastError_ = "invalid argument: no list to fill";
    return 0;
  }
  out->clear();
  RegistryContent content;
  std::string path;
  if (!loadCurrent(&content, &path)) return 0;
  for (const auto& [key, values] : content.keys) {
    if (keyPath != nullptr && key != keyPath) continue;
    for (const auto& [name, value] : values) out->push_back(RegistryEntry{key, name, value});
  }
  return 1;
}

int RKPlatformInfo::checkFile(std::vector<std::string>* problems) {
  RegistryContent content;
  std::string path;
  if (!loadCurrent(&content, &path)) return 0;
  if (problems != nullptr) *problems = content.problems;
  return 1;
}

}  // namespace zarezodud
