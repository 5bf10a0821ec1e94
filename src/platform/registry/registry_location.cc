#include "platform/registry/registry_location.h"

#include "platform/settings/host_settings.h"
#include "platform/registry/registry_names.h"

namespace zarezodud {

std::string registryRoot() { return effectiveRegistryDirectory(); }

bool registryFilePath(const std::string& focus, std::string* path, std::string* error) {
  std::string stem = focus;
  if (focus.empty()) {
    stem = registry_names::kGlobalFileStem;
  } else if (focus == registry_names::kGlobalFileStem) {
    *error = "focus name [" + focus + "] is reserved for keys addressed without a focus";
    return false;
  } else if (focus[0] == '.' || focus.find('/') != std::string::npos ||
             focus.find('\0') != std::string::npos) {
    *error = "focus name [" + focus + "] cannot name a registry file (no '/', no leading '.')";
    return false;
  }
  *path = registryRoot() + "/" + stem + registry_names::kFileSuffix;
  return true;
}

}  // namespace zarezodud
