// Sets (or unsets) one environment variable for the life of the object and puts the old
// value back afterwards. Not thread-safe: the environment is process-wide; use from the test
// thread only.
#ifndef ZAREZODUD_TESTS_SUPPORT_ENV_OVERRIDE_H
#define ZAREZODUD_TESTS_SUPPORT_ENV_OVERRIDE_H

#include <string>

namespace ztest {

class EnvOverride {
 public:
  // Sets name to value.
  EnvOverride(std::string name, const std::string& value);
  // Unsets name.
  explicit EnvOverride(std::string name);
  ~EnvOverride();
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace ztest

#endif
