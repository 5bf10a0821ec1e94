// RKPI_Focus: the process-wide current focus, the product instance whose registry file
// accessors address unless they are given a focus of their own. Starts as ZAREZODUD_INSTANCE
// (read at first use) or "default". An empty focus addresses keys kept outside any instance.
//
// Thread-safety: guarded by a mutex; any thread may read or change it at any time.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_RK_PI_FOCUS_H
#define ZAREZODUD_PLATFORM_REGISTRY_RK_PI_FOCUS_H

#include <string>

namespace zarezodud {

class RKPI_Focus {
 public:
  // A copy of the current focus name.
  static std::string getFocus();
  // Makes name the current focus. A null name changes nothing. The name is not checked here;
  // an unusable one makes later registry operations fail with a message.
  static void setFocus(const char* name);
};

}  // namespace zarezodud

#endif
