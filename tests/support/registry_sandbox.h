// A private registry for one test: points ZAREZODUD_REGISTRY_DIR at a fresh temporary
// directory and the process-wide focus at "default", and puts both back afterwards, so no
// test ever reads or writes the host's registry. Not thread-safe; one per test.
#ifndef ZAREZODUD_TESTS_SUPPORT_REGISTRY_SANDBOX_H
#define ZAREZODUD_TESTS_SUPPORT_REGISTRY_SANDBOX_H

#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace ztest {

class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // The registry root (the temporary directory itself).
  const std::string& root() const { return dir_.path(); }
  // root() + "/" + name
  std::string file(const std::string& name) const { return dir_.file(name); }
  // Writes content (any bytes) to file(name) and returns that path.
  std::string write(const std::string& name, const std::string& content) const {
    return dir_.write(name, content);
  }

 private:
  TempDir dir_;
  std::optional<std::string> previousRoot_;
  std::string previousFocus_;
};

}  // namespace ztest

#endif
