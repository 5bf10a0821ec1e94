#include "platform/fs/append_file.h"
#include "base/errno_text.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "base/random_text.h"

namespace zarezodud {

std::string uniqueSiblingName(const std::string& target) { return target + "." + randomAlphanumeric(6); }

bool AppendFile::openExisting(const std::string& path, std::string& error) {
  discard();
  fdio::ScopedFd fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) {
    error = errnoMessage("cannot open", path, errno);
    return false;
  }
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) {
    error = errnoMessage("cannot examine", path, errno);
    return false;
  }
  m_fd = std::move(fd);
  m_path = path;
  m_size = static_cast<uint64_t>(info.st_size);
  m_temporary = false;
  return true;
}

bool AppendFile::createBeside(const std::string& target, std::string& error) {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = uniqueSiblingName(target);
    fdio::ScopedFd fd(
        ::open(candidate.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
      if (errno == EEXIST) continue;
      error = errnoMessage("cannot create", candidate, errno);
      return false;
    }
    m_fd = std::move(fd);
    m_path = candidate;
    m_size = 0;
    m_temporary = true;
    return true;
  }
  error = "cannot find a free name beside [" + target + "]";
  return false;
}

bool AppendFile::replace(const std::string& target, std::string& error) {
  if (::rename(m_path.c_str(), target.c_str()) != 0) {
    error = errnoMessage("cannot rename [" + m_path + "] to", target, errno);
    return false;
  }
  m_path = target;
  m_temporary = false;
  // The rename is durable only once the directory is.
  return fdio::syncDirectory(fdio::parentDirectory(target), &error);
}

bool AppendFile::append(std::string_view bytes, std::string& error) {
  const char* cursor = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(m_fd.get(), cursor, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      error = errnoMessage("cannot write", m_path, errno);
      // A piece written in part would end the file with a torn record: take it back.
      if (left != bytes.size()) (void)::ftruncate(m_fd.get(), static_cast<off_t>(m_size));
      return false;
    }
    cursor += put;
    left -= static_cast<size_t>(put);
  }
  m_size += bytes.size();
  return true;
}

bool AppendFile::syncData(std::string& error) {
  if (::fdatasync(m_fd.get()) != 0) {
    error = errnoMessage("cannot sync", m_path, errno);
    return false;
  }
  return true;
}

bool AppendFile::truncate(uint64_t size, std::string& error) {
  if (::ftruncate(m_fd.get(), static_cast<off_t>(size)) != 0) {
    error = errnoMessage("cannot truncate", m_path, errno);
    return false;
  }
  m_size = size;
  return true;
}

void AppendFile::discard() {
  if (m_temporary && !m_path.empty()) ::unlink(m_path.c_str());
  m_temporary = false;
  m_fd = fdio::ScopedFd();
}

}  // namespace zarezodud
