#include "platform/odbc/temp_output_file.h"
#include "base/errno_text.h"

#include "platform/settings/host_settings.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace zarezodud {
namespace {

const char kFileName[] = "tempOutputFile.txt";

std::string withoutTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// Makes sure dir exists as a directory of ours that is not a link; false with a reason.
bool checkDirectory(const std::string& dir, std::string& error) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "Cannot create the output directory [" + dir + "]: " + errnoText(errno);
    return false;
  }
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) {
    error = "Cannot inspect the output directory [" + dir + "]: " + errnoText(errno);
    return false;
  }
  if (S_ISLNK(st.st_mode)) {
    error = "The output directory [" + dir + "] is a symbolic link; refusing to use it.";
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    error = "The output directory [" + dir + "] is not a directory; refusing to use it.";
    return false;
  }
  if (st.st_uid != ::geteuid()) {
    error = "The output directory [" + dir + "] is owned by another user (uid " + std::to_string(st.st_uid) +
            "); refusing to use it.";
    return false;
  }
  // Writable by others without the sticky bit, anyone could replace the output file between
  // the script's run and its reading back.
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    error = "The output directory [" + dir + "] can be written by other users (mode " + mode +
            ") and is not sticky; refusing to use it. Remove their write access (chmod go-w) or set the "
            "sticky bit (chmod +t).";
    return false;
  }
  return true;
}

}  // namespace

std::string tempOutputDirectory() { return effectiveOutputDirectory(); }

std::string tempOutputFilePath() { return tempOutputDirectory() + kFileName; }

std::string formatMessageRecord(std::time_t when, std::string_view state, long nativeError,
                                std::string_view text, int recNum, int lineNum) {
  struct tm tmv;
  char stamp[32] = "00/00/00 00:00:00";
  if (::localtime_r(&when, &tmv) != nullptr) std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S", &tmv);
  std::string out;
  out.reserve(text.size() + state.size() + 96);
  out += stamp;
  out += " SQLState:[";
  out += state;
  out += "] NativeError:[";
  out += std::to_string(nativeError);
  out += "] Message:[";
  out += text;
  out += "] [RecNum:";
  out += std::to_string(recNum);
  out += ", LineNum:";
  out += std::to_string(lineNum);
  out += "]\n";
  return out;
}

TempOutputFile::~TempOutputFile() { close(); }

bool TempOutputFile::open(std::string& error) { return openIn(tempOutputDirectory(), error); }

bool TempOutputFile::openOrKeep(std::string& error) { return openOrKeepIn(tempOutputDirectory(), error); }

bool TempOutputFile::openOrKeepIn(const std::string& directory, std::string& error) {
  struct stat st;
  if (m_fd >= 0 && directory == m_directory && ::fstat(m_fd, &st) == 0 && st.st_nlink > 0) {
    m_writeError.clear();  // a new script's recording starts
    return true;
  }
  return openIn(directory, error);
}

bool TempOutputFile::openIn(const std::string& directory, std::string& error) {
  close();
  const std::string dir = withoutTrailingSlash(directory);
  if (!checkDirectory(dir, error)) return false;
  const std::string path = dir + "/" + kFileName;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int err = errno;
    if (err == ELOOP) {
      error = "The output file [" + path + "] is a symbolic link; refusing to use it.";
    } else {
      error = "Cannot open the output file [" + path + "]: " + errnoText(err);
    }
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    error = "The output file [" + path + "] is not a regular file of this user; refusing to use it.";
    return false;
  }
  m_fd = fd;
  m_directory = directory;
  m_path = path;
  m_writeError.clear();
  return true;
}

bool TempOutputFile::append(std::string_view text) {
  if (m_fd < 0) return false;
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(m_fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (m_writeError.empty()) m_writeError = "[" + m_path + "]: " + errnoText(errno);
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void TempOutputFile::close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

}  // namespace zarezodud
