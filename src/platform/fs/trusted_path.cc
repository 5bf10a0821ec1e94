#include "platform/fs/trusted_path.h"
#include "base/errno_text.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "base/fd_io.h"
#include "platform/fs/regular_file.h"

namespace zarezodud {

namespace {

std::string octalMode(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

bool trustedOwner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

std::string ownerText(uid_t owner) {
  return "is owned by another user (uid " + std::to_string(owner) + "), not by this user (uid " +
         std::to_string(::geteuid()) + ") or root";
}

}  // namespace

bool checkTrustedFile(int fd, const std::string& path, std::string& error) {
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    error = errnoMessage("cannot examine", path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "[" + path + "] is " + describeFileType(info.st_mode) + ", not a regular file";
    return false;
  }
  if (!trustedOwner(info.st_uid)) {
    error = "[" + path + "] " + ownerText(info.st_uid);
    return false;
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    error = "[" + path + "] is writable by " + ((info.st_mode & S_IWOTH) ? "others" : "its group") +
            " (mode " + octalMode(info.st_mode) + ")";
    return false;
  }
  return true;
}

bool checkTrustedDirectory(const std::string& directory, std::string& error) {
  std::error_code ec;
  // Symbolic links resolved: what counts is the chain of directories the files really live in.
  std::filesystem::path path = std::filesystem::canonical(directory, ec);
  if (ec) {
    error = "cannot resolve [" + directory + "]: " + ec.message();
    return false;
  }
  // From the directory itself up to the root: each one could otherwise be replaced whole.
  for (;;) {
    const std::string text = path.string();
    struct stat info;
    if (::stat(text.c_str(), &info) != 0) {
      error = errnoMessage("cannot examine", text, errno);
      return false;
    }
    if (!S_ISDIR(info.st_mode)) {
      error = "[" + text + "] is " + describeFileType(info.st_mode) + ", not a directory";
      return false;
    }
    if (!trustedOwner(info.st_uid)) {
      error = "directory [" + text + "] " + ownerText(info.st_uid);
      return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0) {
      error = "directory [" + text + "] is writable by " +
              ((info.st_mode & S_IWOTH) ? "others" : "its group") + " and not sticky (mode " +
              octalMode(info.st_mode) + ")";
      return false;
    }
    if (path == path.root_path() || !path.has_parent_path() || path.parent_path() == path) return true;
    path = path.parent_path();
  }
}

}  // namespace zarezodud
