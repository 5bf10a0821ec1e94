#include "support/registry_sandbox.h"

#include <stdlib.h>

#include "platform/registry/registry_names.h"
#include "platform/registry/rk_pi_focus.h"

namespace ztest {

using zarezodud::RKPI_Focus;
namespace names = zarezodud::registry_names;

RegistrySandbox::RegistrySandbox() {
  if (const char* root = getenv(names::kRootEnv)) previousRoot_ = root;
  previousFocus_ = RKPI_Focus::getFocus();
  setenv(names::kRootEnv, dir_.path().c_str(), 1);
  RKPI_Focus::setFocus(names::kDefaultFocus);
}

RegistrySandbox::~RegistrySandbox() {
  if (previousRoot_) {
    setenv(names::kRootEnv, previousRoot_->c_str(), 1);
  } else {
    unsetenv(names::kRootEnv);
  }
  RKPI_Focus::setFocus(previousFocus_.c_str());
}

}  // namespace ztest
