// A FILE* that closes itself: every profile function opens and closes its files within one
// call, on every path. Not thread-safe; one owner.
#ifndef ZAREZODUD_CONFIG_PROFILE_FILE_H
#define ZAREZODUD_CONFIG_PROFILE_FILE_H

#include <stdio.h>

namespace zarezodud {

class ProfileFile {
 public:
  // Opens path with the fopen mode; check isOpen().
  ProfileFile(const char* path, const char* mode) : file_(fopen(path, mode)) {}
  ~ProfileFile() {
    if (file_ != nullptr) fclose(file_);
  }
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // The open stream, still owned by this object.
  FILE* get() const { return file_; }

 private:
  FILE* file_;
};

}  // namespace zarezodud

#endif
