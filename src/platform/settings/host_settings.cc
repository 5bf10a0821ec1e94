#include "platform/settings/host_settings.h"
#include "base/numbers.h"

#include <cstdlib>
#include <mutex>

#include "base/text_trim.h"
#include "platform/odbc/connection_string_rules.h"
#include "platform/registry/registry_names.h"

namespace zarezodud {
namespace {

constexpr char kDefaultOutputDirectory[] = "/tmp/.qxsetup/";
constexpr int kDefaultLoginTimeout = 30;
constexpr int kDefaultDebugLevel = 5;

struct Shared {
  std::mutex mutex;
  HostSettings settings;
};

Shared& shared() {
  static Shared* state = new Shared();  // never destroyed: usable during static teardown
  return *state;
}

HostSettings snapshot() {
  Shared& state = shared();
  std::lock_guard<std::mutex> hold(state.mutex);
  return state.settings;
}

// The environment variable's value, or "" when it is unset or empty.
std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool validTimeout(int seconds) { return seconds >= 1 && seconds <= 3600; }

// A whole decimal integer (blanks around it allowed) in [-1000000, 1000000]; fallback otherwise.
int levelFrom(const std::string& text, int fallback) {
  int value = 0;
  return parseInt(trimCopy(text), -1000000, 1000000, value) ? value : fallback;
}

}  // namespace

bool setHostSettings(const HostSettings& settings) {
  for (const auto* text : {&settings.registryDirectory, &settings.instance, &settings.outputDirectory}) {
    if (text->has_value() && (*text)->empty()) return false;
  }
  if (settings.loginTimeoutSeconds && !validTimeout(*settings.loginTimeoutSeconds)) return false;
  Shared& state = shared();
  std::lock_guard<std::mutex> hold(state.mutex);
  state.settings = settings;
  return true;
}

HostSettings hostSettings() { return snapshot(); }

std::string effectiveRegistryDirectory() {
  const HostSettings settings = snapshot();
  std::string path = settings.registryDirectory.value_or(environment(registry_names::kRootEnv));
  return path.empty() ? std::string(registry_names::kDefaultRoot) : withoutTrailingSlashes(path);
}

std::string effectiveInstance() {
  const HostSettings settings = snapshot();
  const std::string name = settings.instance.value_or(environment(registry_names::kInstanceEnv));
  return name.empty() ? std::string(registry_names::kDefaultFocus) : name;
}

std::string effectiveOutputDirectory(const HostSettings* local) {
  std::string dir;
  if (local != nullptr && local->outputDirectory) {
    dir = *local->outputDirectory;
  } else {
    dir = snapshot().outputDirectory.value_or(environment("ZAREZODUD_OUTPUT_DIR"));
  }
  if (dir.empty()) return kDefaultOutputDirectory;
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string effectiveOdbcDriver() {
  return trimCopy(snapshot().odbcDriver.value_or(environment("ZAREZODUD_ODBC_DRIVER")));
}

std::string effectiveOdbcAttributes(const HostSettings* local) {
  if (local != nullptr && local->odbcAttributes) return *local->odbcAttributes;
  return snapshot().odbcAttributes.value_or(environment("ZAREZODUD_ODBC_ATTRIBUTES"));
}

int effectiveLoginTimeoutSeconds(const HostSettings* local) {
  if (local != nullptr && local->loginTimeoutSeconds && validTimeout(*local->loginTimeoutSeconds)) {
    return *local->loginTimeoutSeconds;
  }
  const HostSettings settings = snapshot();
  if (settings.loginTimeoutSeconds) return *settings.loginTimeoutSeconds;
  const char* text = std::getenv("ZAREZODUD_LOGIN_TIMEOUT");
  return text != nullptr ? loginTimeoutSeconds(text) : kDefaultLoginTimeout;
}

int effectiveDebugLevel() {
  const HostSettings settings = snapshot();
  if (settings.debugLevel) return *settings.debugLevel;
  return levelFrom(environment("ZAREZODUD_DEBUG_LEVEL"), kDefaultDebugLevel);
}

}  // namespace zarezodud

namespace {

// Changes one field of the process-wide settings; a null text unsets it.
int setText(std::optional<std::string> zarezodud::HostSettings::*field, const char* value, bool mayBeEmpty) {
  zarezodud::HostSettings settings = zarezodud::hostSettings();
  if (value == nullptr) {
    (settings.*field).reset();
  } else {
    if (!mayBeEmpty && *value == '\0') return -1;
    settings.*field = std::string(value);
  }
  return zarezodud::setHostSettings(settings) ? 0 : -1;
}

}  // namespace

int zarezodud_set_registry_directory(const char* path) {
  return setText(&zarezodud::HostSettings::registryDirectory, path, false);
}
int zarezodud_set_instance(const char* name) {
  return setText(&zarezodud::HostSettings::instance, name, false);
}
int zarezodud_set_output_directory(const char* path) {
  return setText(&zarezodud::HostSettings::outputDirectory, path, false);
}
int zarezodud_set_odbc_driver(const char* name) {
  return setText(&zarezodud::HostSettings::odbcDriver, name, true);
}
int zarezodud_set_odbc_attributes(const char* attributes) {
  return setText(&zarezodud::HostSettings::odbcAttributes, attributes, true);
}
int zarezodud_set_login_timeout(int seconds) {
  zarezodud::HostSettings settings = zarezodud::hostSettings();
  if (seconds < 0) {
    settings.loginTimeoutSeconds.reset();
  } else {
    settings.loginTimeoutSeconds = seconds;
  }
  return zarezodud::setHostSettings(settings) ? 0 : -1;
}
int zarezodud_set_debug_level(int level) {
  zarezodud::HostSettings settings = zarezodud::hostSettings();
  if (level < -1000000 || level > 1000000) {
    settings.debugLevel.reset();
  } else {
    settings.debugLevel = level;
  }
  return zarezodud::setHostSettings(settings) ? 0 : -1;
}
