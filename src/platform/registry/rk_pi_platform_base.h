// RKPI_PlatformBase: the platform accessor for session settings; here, the encrypted session
// (network) password, kept as the string value "sNetworkPassword" under key "Session"
// (registry_names.h) of the accessor's focus.
//
// Thread-safety: one object belongs to one thread at a time.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_RK_PI_PLATFORM_BASE_H
#define ZAREZODUD_PLATFORM_REGISTRY_RK_PI_PLATFORM_BASE_H

#include <memory>

#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_pi_base.h"

namespace zarezodud {

class RKPI_PlatformBase : public RKPI_Base {
 public:
  // kind selects an accessor variant on other platforms; it has no effect here.
  explicit RKPI_PlatformBase(int kind);
  ~RKPI_PlatformBase() override;

  // The stored session password as a credential object holding its encrypted text (empty
  // when the value is stored empty), or null when the value is missing or unreadable. The
  // object belongs to the accessor: do NOT delete it. It stays valid until the next call or
  // the accessor's destruction.
  RKPassword* getNetworkPassword();

 private:
  std::unique_ptr<RKPassword> networkPassword_;
};

}  // namespace zarezodud

#endif
