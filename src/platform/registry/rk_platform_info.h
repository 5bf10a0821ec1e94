// RKPlatformInfo: the accessor through which the system reads and writes named string and
// number values under key paths of the registry of one product instance (focus). Each
// instance has its own file (see registry_location.h, registry_format.h); every call reads
// or rewrites that file under a lock, so values written by one accessor or process are seen
// by every accessor that addresses the same focus, key path and value name afterwards.
//
// An accessor addresses the process-wide focus (RKPI_Focus) as it is at each call until it is
// given a focus of its own with setFocus. Results are non-zero for success and 0 for failure;
// after a failure getLastErrorMsg() says why. No value text ever appears in an error message.
//
// Thread-safety: one accessor belongs to one thread at a time; separate accessors may be used
// from any threads and processes concurrently.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_RK_PLATFORM_INFO_H
#define ZAREZODUD_PLATFORM_REGISTRY_RK_PLATFORM_INFO_H

#include <optional>
#include <string>
#include <vector>

#include "export.h"
#include "platform/registry/registry_format.h"

namespace zarezodud {

// One value as listed by RKPlatformInfo::listValues.
struct RegistryEntry {
  std::string keyPath;
  std::string valueName;
  RegistryValue value;
};

class ZAREZODUD_API RKPlatformInfo {
 public:
  RKPlatformInfo();
  // The two selectors of the platform's other accessor kinds; this store has one kind, so
  // they are accepted and have no effect.
  RKPlatformInfo(int kind, int flags);

  // Later calls address focus name (empty: keys kept outside any instance). Returns 0 and
  // changes nothing when name is null.
  int setFocus(const char* name);
  // The focus the next call will address.
  std::string getFocus() const;
  // The file that holds the current focus, or "" (with the last error set) when the focus
  // name cannot name a file.
  std::string getFilePath();

  // String value: non-zero when found. size gives buf's capacity in bytes and receives the
  // value's length. The text is copied with its terminating NUL; when it does not fit
  // (length >= capacity) nothing is copied, buf becomes "" and 0 is returned with size set to
  // the length, so that a caller never works on a silently shortened text. A number value is
  // not a string: 0 with a message.
  int getString(const char* keyPath, const char* valueName, char* buf, unsigned long& size);
  // The same into a std::string, without length limit.
  int getString(const char* keyPath, const char* valueName, std::string* out);
  // Number value: non-zero when found; *out is written only then. A string value fails.
  int getNumber(const char* keyPath, const char* valueName, unsigned long long* out);

  // Writers: non-zero when the value is stored (replacing a value of either type).
  int setNumber(const char* keyPath, const char* valueName, unsigned long long value);
  int setString(const char* keyPath, const char* valueName, const char* value);
  int setString(const char* keyPath, const char* valueName, const std::string& value);
  // Non-zero when the value existed and is gone; 0 with a message when it did not exist.
  int deleteValue(const char* keyPath, const char* valueName);

  // Every value under keyPath, or under all keys when keyPath is null, ordered by key path and
  // value name. Non-zero on success (also when there are none).
  int listValues(const char* keyPath, std::vector<RegistryEntry>* out);

  // The current focus's file problems ("line <n>: <reason>" for each ignored line); non-zero
  // when the file could be read, whether or not it has problems.
  int checkFile(std::vector<std::string>* problems);

  // The text of the last failure; owned by the accessor, valid until its next call.
  const char* getLastErrorMsg() const { return lastError_.c_str(); }

 private:
  bool resolvePath(std::string* path);
  bool loadCurrent(RegistryContent* content, std::string* path);
  // Copies the value of keyPath/valueName into out when it exists and has the given type;
  // false with lastError_ set otherwise.
  bool readValue(const char* keyPath, const char* valueName, RegistryValue::Type type, RegistryValue* out);
  const RegistryValue* findValue(const RegistryContent& content, const std::string& path, const char* keyPath,
                                 const char* valueName);
  int store(const char* keyPath, const char* valueName, const RegistryValue& value);

  std::optional<std::string> focus_;
  std::string lastError_;
};

}  // namespace zarezodud

#endif
