// Fixed names of the file-backed registry: where it lives, how instances (focuses) map to
// files, and the key paths and value names this system reads or writes. Every name that
// README.md lists for administrators is defined here and nowhere else. Constants only;
// thread-safe.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_NAMES_H
#define ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_NAMES_H

namespace zarezodud {
namespace registry_names {

// Location of the store.
inline constexpr const char kRootEnv[] = "ZAREZODUD_REGISTRY_DIR";
inline constexpr const char kDefaultRoot[] = "/etc/zarezodud/registry";
// Initial process-wide focus (instance) name, and the one used when the variable is unset.
inline constexpr const char kInstanceEnv[] = "ZAREZODUD_INSTANCE";
inline constexpr const char kDefaultFocus[] = "default";
// "<root>/<focus>.reg"; keys addressed with an empty focus go to "<root>/global.reg", so
// "global" itself is not usable as an instance name.
inline constexpr const char kFileSuffix[] = ".reg";
inline constexpr const char kGlobalFileStem[] = "global";
inline constexpr const char kLockSuffix[] = ".lock";
// The credential service's key: 32 random bytes, mode 0600.
inline constexpr const char kCredentialKeyFile[] = "credential.key";

// The product's install directory (RKPI_Base::getQuasarDirectory).
inline constexpr const char kProductKey[] = "Base";
inline constexpr const char kProductDirectoryValue[] = "sProductDirectory";
// The directory of the SQL scripts that the default product services run
// ("PopulateActivity.sql", "UpdateVersionString.sql", ...).
inline constexpr const char kServiceScriptsDirectoryValue[] = "sServiceScriptsDirectory";
// The encrypted session password (RKPI_PlatformBase::getNetworkPassword).
inline constexpr const char kSessionKey[] = "Session";
inline constexpr const char kNetworkPasswordValue[] = "sNetworkPassword";

// Values read by the database access and maintenance code.
inline constexpr const char kDatabaseKey[] = "Database";
inline constexpr const char kScriptExecutionThresholdValue[] = "nScriptExecutionThreshold";
// The time limit in seconds on each batch of a script (0 or absent: none).
inline constexpr const char kScriptTimeoutValue[] = "nScriptTimeoutSeconds";
inline constexpr const char kDumpsDaysOlderValue[] = "nDBdumpsDaysOlder";
inline constexpr const char kDumpsFilesToRetainValue[] = "nDBdumpsNoOfFilesToRetain";
inline constexpr const char kSqlAuthTypeValue[] = "nSQLAuthType";
// Installer progress, addressed without a focus by its callers.
inline constexpr const char kInstallerDataKey[] = "SOFTWARE\\Tessaly Systems\\Quasar\\Installer\\Data";
inline constexpr const char kProgressPercentValue[] = "nProgressPercent";

}  // namespace registry_names
}  // namespace zarezodud

#endif
