#include "platform/registry/rk_pi_focus.h"

#include <cstdlib>
#include <mutex>

#include "platform/settings/host_settings.h"
#include "platform/registry/registry_names.h"

namespace zarezodud {
namespace {

struct FocusState {
  std::mutex mutex;
  bool initialised = false;
  std::string name;
};

FocusState& state() {
  static FocusState* focus = new FocusState();  // never destroyed: usable during static teardown
  return *focus;
}

void initialiseLocked(FocusState& focus) {
  if (focus.initialised) return;
  focus.name = effectiveInstance();
  focus.initialised = true;
}

}  // namespace

std::string RKPI_Focus::getFocus() {
  FocusState& focus = state();
  std::lock_guard<std::mutex> hold(focus.mutex);
  initialiseLocked(focus);
  return focus.name;
}

void RKPI_Focus::setFocus(const char* name) {
  if (name == nullptr) return;
  FocusState& focus = state();
  std::lock_guard<std::mutex> hold(focus.mutex);
  focus.name = name;
  focus.initialised = true;
}

}  // namespace zarezodud
