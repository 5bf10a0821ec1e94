#include "support/env_override.h"

#include <stdlib.h>

namespace ztest {

namespace {
void remember(const std::string& name, bool& had, std::string& old) {
  const char* v = ::getenv(name.c_str());
  had = v != nullptr;
  if (had) old = v;
}
}  // namespace

EnvOverride::EnvOverride(std::string name, const std::string& value) : name_(std::move(name)) {
  remember(name_, had_, old_);
  ::setenv(name_.c_str(), value.c_str(), 1);
}

EnvOverride::EnvOverride(std::string name) : name_(std::move(name)) {
  remember(name_, had_, old_);
  ::unsetenv(name_.c_str());
}

EnvOverride::~EnvOverride() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace ztest
