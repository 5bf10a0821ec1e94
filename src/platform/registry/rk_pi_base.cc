#include "platform/registry/rk_pi_base.h"

#include "platform/registry/registry_names.h"

namespace zarezodud {

RKPI_Base::RKPI_Base() = default;
RKPI_Base::~RKPI_Base() = default;

void RKPI_Base::setFocus(const char* name) {
  if (name != nullptr) registry_.setFocus(name);
}

const char* RKPI_Base::getQuasarDirectory() {
  productDirectory_.clear();
  if (!registry_.getString(registry_names::kProductKey, registry_names::kProductDirectoryValue,
                           &productDirectory_) ||
      productDirectory_.empty()) {
    return nullptr;
  }
  return productDirectory_.c_str();
}

}  // namespace zarezodud
