// One registry file on disk: a locked read, and a locked read-modify-write that replaces the
// file atomically.
//
// Readers take a shared flock on "<file>.lock"; writers take an exclusive one, read the
// current content, apply their change, write a unique temporary file in the same directory,
// fsync it, rename it over the file and fsync the directory. A reader therefore sees either
// the old or the new file, never a mix, and concurrent writers (threads or processes) never
// lose each other's values. A missing file (or missing directory) reads as an empty registry.
//
// Thread-safety: a RegistryFile holds only its path; any number of objects and threads may
// work on the same file at once.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_FILE_H
#define ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_FILE_H

#include <functional>
#include <string>

#include "platform/registry/registry_format.h"

namespace zarezodud {

class RegistryFile {
 public:
  // Applies a change to the content in place. Returning false (with a message) abandons the
  // write and leaves the file untouched.
  using Change = std::function<bool(RegistryContent* content, std::string* error)>;

  explicit RegistryFile(std::string path);

  const std::string& path() const { return path_; }

  // Reads and parses the file under a shared lock. False with a message only when the file
  // exists but cannot be read; unparsable lines are reported in content->problems instead.
  // Creates nothing (a reader in a directory it may not write reads without the lock file).
  bool load(RegistryContent* content, std::string* error) const;

  // Locked read-modify-write (see above). Creates the directory (0755) and the file (0600)
  // when missing; an existing file keeps its permission bits. False with a message when the
  // change refuses or any step fails; no temporary file is left behind either way.
  bool update(const Change& change, std::string* error) const;

 private:
  std::string path_;
};

}  // namespace zarezodud

#endif
