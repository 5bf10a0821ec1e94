#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zfuzz {

namespace {

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchDir(), ignored);
}

}  // namespace

const std::string& scratchDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarezodud-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) fail("cannot create the scratch directory");
    return pattern;
  }();
  static const bool registered = (std::atexit(removeScratch), true);
  (void)registered;
  return dir;
}

std::string writeScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = scratchDir() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) fail("cannot open a scratch file");
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) fail("cannot write a scratch file");
  return path;
}

std::string writeScratchFile(const std::string& name, const std::string& text) {
  return writeScratchFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

}  // namespace zfuzz
