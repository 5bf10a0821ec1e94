// A temporary directory for one test, removed with everything in it when the object goes.
// Not thread-safe; one per test.
#ifndef ZAREZODUD_TESTS_SUPPORT_TEMP_DIR_H
#define ZAREZODUD_TESTS_SUPPORT_TEMP_DIR_H

#include <string>

namespace ztest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;
  // Writes content to path() + "/" + name (creating parent directories) and returns that path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// The whole content of a file, or "" when it cannot be read.
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace ztest

#endif
