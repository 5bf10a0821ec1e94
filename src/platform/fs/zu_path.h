// Path joining: CZuPath::Append makes a new path, FXPath::Append extends one in place. Both put
// exactly one "/" between the two parts. Pure functions; thread-safe.
#ifndef ZAREZODUD_PLATFORM_FS_ZU_PATH_H
#define ZAREZODUD_PLATFORM_FS_ZU_PATH_H

#include <string>

namespace zarezodud {

class CZuPath {
 public:
  // dir and name joined by one "/": trailing "/" of dir and leading "/" of name are dropped
  // first ("/" stays the root). An empty dir gives name; an empty name gives dir.
  static std::string Append(const std::string& dir, const std::string& name);
};

class FXPath {
 public:
  // Appends name to path as a further component, as CZuPath::Append. flags is accepted for
  // call compatibility and must be 0. Returns 0; -1 (path unchanged) when name is empty or
  // flags is not 0.
  static int Append(std::string& path, const std::string& name, int flags);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_FS_ZU_PATH_H
