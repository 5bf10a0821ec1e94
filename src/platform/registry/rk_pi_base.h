// RKPI_Base: the platform accessor for the product's own settings; here, the product's
// install directory, kept as the string value "sProductDirectory" under key "Base"
// (registry_names.h) of the accessor's focus.
//
// Thread-safety: one object belongs to one thread at a time.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_RK_PI_BASE_H
#define ZAREZODUD_PLATFORM_REGISTRY_RK_PI_BASE_H

#include <string>

#include "platform/registry/rk_platform_info.h"

namespace zarezodud {

class RKPI_Base {
 public:
  RKPI_Base();
  virtual ~RKPI_Base();
  RKPI_Base(const RKPI_Base&) = delete;
  RKPI_Base& operator=(const RKPI_Base&) = delete;

  // The platform's event sink, kept for the caller's sake; the registry reports through
  // getLastErrorMsg() instead.
  void setEventManager(void* eventManager) { eventManager_ = eventManager; }
  void* getEventManager() const { return eventManager_; }
  // Later reads address focus name; null leaves the process-wide focus in use.
  void setFocus(const char* name);

  // The product's install directory, or null when it is not set or empty. The text belongs to
  // the accessor and stays valid until its next call or its destruction.
  const char* getQuasarDirectory();

  // Why the last lookup found nothing; owned by the accessor.
  const char* getLastErrorMsg() const { return registry_.getLastErrorMsg(); }

 protected:
  RKPlatformInfo& registry() { return registry_; }

 private:
  RKPlatformInfo registry_;
  void* eventManager_ = nullptr;
  std::string productDirectory_;
};

}  // namespace zarezodud

#endif
