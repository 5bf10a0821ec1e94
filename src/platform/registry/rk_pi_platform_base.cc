#include "platform/registry/rk_pi_platform_base.h"

#include <string>

#include "platform/registry/registry_names.h"

namespace zarezodud {

RKPI_PlatformBase::RKPI_PlatformBase(int) {}
RKPI_PlatformBase::~RKPI_PlatformBase() = default;

RKPassword* RKPI_PlatformBase::getNetworkPassword() {
  networkPassword_.reset();
  std::string encrypted;
  if (!registry().getString(registry_names::kSessionKey, registry_names::kNetworkPasswordValue, &encrypted)) {
    return nullptr;
  }
  networkPassword_ = std::make_unique<RKPassword>();
  networkPassword_->putEncPwd(encrypted.c_str());
  return networkPassword_.get();
}

}  // namespace zarezodud
