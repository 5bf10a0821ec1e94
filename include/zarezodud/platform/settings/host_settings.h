// Host settings: what a host program tells the library about its machine, in one place. Each
// setting left unset falls back to its environment variable (read here and nowhere else, at
// the time of use, so a host that sets nothing behaves as the command does), then to a
// built-in default.
//
//   setting               environment variable         default
//   registry directory    ZAREZODUD_REGISTRY_DIR       /etc/zarezodud/registry
//   instance (focus)      ZAREZODUD_INSTANCE           "default"
//   output directory      ZAREZODUD_OUTPUT_DIR         /tmp/.qxsetup/
//   ODBC driver           ZAREZODUD_ODBC_DRIVER        the first installed SQL Server driver
//   ODBC attributes       ZAREZODUD_ODBC_ATTRIBUTES    none
//   login timeout         ZAREZODUD_LOGIN_TIMEOUT      30 seconds (1 to 3600)
//   debug level           ZAREZODUD_DEBUG_LEVEL        5
//
// The process-wide settings serve every object. A processor (and its database object) may
// also be given settings of its own: their output directory, ODBC attributes and login timeout
// then apply to that processor's connections only, so two upgrades of different databases can
// run in one process at once without sharing an output file. Registry directory, instance,
// ODBC driver and debug level are process-wide by nature (one registry focus, one debug log,
// one connection-string format) and are taken from the process-wide settings only.
//
// Thread-safety: every function may be called from any thread; the process-wide settings are
// guarded by a mutex, and a HostSettings value is a plain value.
#ifndef ZAREZODUD_PLATFORM_SETTINGS_HOST_SETTINGS_H
#define ZAREZODUD_PLATFORM_SETTINGS_HOST_SETTINGS_H

#include <optional>
#include <string>

#include "export.h"

namespace zarezodud {

struct ZAREZODUD_API HostSettings {
  std::optional<std::string> registryDirectory;
  std::optional<std::string> instance;
  std::optional<std::string> outputDirectory;
  std::optional<std::string> odbcDriver;
  std::optional<std::string> odbcAttributes;
  std::optional<int> loginTimeoutSeconds;
  std::optional<int> debugLevel;
};

// Replaces the process-wide settings as a whole (unset fields: environment, then default).
// Returns false, changing nothing, when a value is out of range (login timeout outside 1 to
// 3600, an empty directory or instance name).
ZAREZODUD_API bool setHostSettings(const HostSettings& settings);
// A copy of the process-wide settings as set (unset fields stay unset).
ZAREZODUD_API HostSettings hostSettings();

// The values in force. local, when given, is an object's own settings and wins for the
// fields it may carry (output directory, ODBC attributes, login timeout).
ZAREZODUD_API std::string effectiveRegistryDirectory();  // no trailing '/'
ZAREZODUD_API std::string effectiveInstance();
ZAREZODUD_API std::string effectiveOutputDirectory(const HostSettings* local = nullptr);  // with trailing '/'
ZAREZODUD_API std::string effectiveOdbcDriver();  // "" when neither set nor in the environment
ZAREZODUD_API std::string effectiveOdbcAttributes(const HostSettings* local = nullptr);
ZAREZODUD_API int effectiveLoginTimeoutSeconds(const HostSettings* local = nullptr);
ZAREZODUD_API int effectiveDebugLevel();

}  // namespace zarezodud

// The same for C hosts, one setting at a time. A null text, a negative login timeout or a debug
// level outside -1,000,000 to 1,000,000 returns the setting to its environment variable and
// default. Each returns 0, or -1 when the value is refused (nothing changes then).
ZAREZODUD_C_API int zarezodud_set_registry_directory(const char* path);
ZAREZODUD_C_API int zarezodud_set_instance(const char* name);
ZAREZODUD_C_API int zarezodud_set_output_directory(const char* path);
ZAREZODUD_C_API int zarezodud_set_odbc_driver(const char* name);
ZAREZODUD_C_API int zarezodud_set_odbc_attributes(const char* attributes);
ZAREZODUD_C_API int zarezodud_set_login_timeout(int seconds);
ZAREZODUD_C_API int zarezodud_set_debug_level(int level);

#endif
