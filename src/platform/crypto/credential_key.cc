#include "platform/crypto/credential_key.h"
#include "base/errno_text.h"

#include <errno.h>
#include <fcntl.h>
#include <openssl/rand.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "base/fd_io.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/registry_names.h"

namespace zarezodud {
namespace {

using fdio::ScopedFd;

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult readKey(const std::string& path, SecretBytes* key, std::string* error) {
  ScopedFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!file.valid()) {
    if (errno == ENOENT) return ReadResult::kMissing;
    *error = errnoMessage("cannot open credential key", path, errno);
    return ReadResult::kFailed;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0) {
    *error = errnoMessage("cannot inspect credential key", path, errno);
    return ReadResult::kFailed;
  }
  if (!S_ISREG(info.st_mode) || info.st_size != static_cast<off_t>(kCredentialKeySize)) {
    *error = "credential key [" + path + "] is damaged: expected a file of " +
             std::to_string(kCredentialKeySize) + " bytes";
    return ReadResult::kFailed;
  }
  // A key that another user owns or can read is no secret: refuse it and say how to mend it,
  // rather than use it silently.
  if (info.st_uid != ::geteuid()) {
    *error = "credential key [" + path + "] is owned by uid " + std::to_string(info.st_uid) +
             ", not by this user (uid " + std::to_string(::geteuid()) +
             "); refusing to use it. Give it to this user: chown " + std::to_string(::geteuid()) + " " + path;
    return ReadResult::kFailed;
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    *error = "credential key [" + path + "] can be used by group or others (mode " + mode +
             "); refusing to use it. Restrict it: chmod 600 " + path;
    return ReadResult::kFailed;
  }
  SecretBytes bytes(kCredentialKeySize);
  size_t have = 0;
  while (have < bytes.size()) {
    ssize_t got = ::read(file.get(), bytes.data() + have, bytes.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errnoMessage("cannot read credential key", path, errno);
      return ReadResult::kFailed;
    }
    if (got == 0) {
      *error = "credential key [" + path + "] is shorter than expected";
      return ReadResult::kFailed;
    }
    have += static_cast<size_t>(got);
  }
  *key = std::move(bytes);
  return ReadResult::kOk;
}

// Writes a fresh key to a temporary file and links it into place. Losing the race to another
// creator is not an error: the caller then reads the key that won.
bool createKey(const std::string& path, std::string* error) {
  const std::string directory = fdio::parentDirectory(path);
  if (!fdio::makeDirectories(directory, 0755, error)) return false;

  SecretBytes fresh(kCredentialKeySize);
  if (RAND_bytes(fresh.data(), static_cast<int>(fresh.size())) != 1) {
    *error = "cannot generate a credential key: no random source";
    return false;
  }
  std::string pattern = directory + "/.credential.key.tmp.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  ScopedFd temp(::mkostemp(name.data(), O_CLOEXEC));  // mode 0600 regardless of umask
  if (!temp.valid()) {
    *error = errnoMessage("cannot create temporary key file", pattern, errno);
    return false;
  }
  const std::string tempPath(name.data());
  bool ok = fdio::writeAll(temp.get(), tempPath, fresh.data(), fresh.size(), error);
  if (ok && ::fchmod(temp.get(), S_IRUSR | S_IWUSR) != 0) {
    *error = errnoMessage("cannot set permissions of", tempPath, errno);
    ok = false;
  }
  if (ok && ::fsync(temp.get()) != 0) {
    *error = errnoMessage("cannot sync", tempPath, errno);
    ok = false;
  }
  if (ok && !temp.close()) {
    *error = errnoMessage("cannot close", tempPath, errno);
    ok = false;
  }
  if (ok && ::link(tempPath.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    *error = errnoMessage("cannot install credential key", path, errno);
    ok = false;
  }
  ::unlink(tempPath.c_str());
  return ok && fdio::syncDirectory(directory, error);
}

}  // namespace

std::string credentialKeyPath() { return registryRoot() + "/" + registry_names::kCredentialKeyFile; }

bool loadCredentialKey(bool createIfMissing, SecretBytes* key, std::string* error) {
  const std::string path = credentialKeyPath();
  switch (readKey(path, key, error)) {
    case ReadResult::kOk:
      return true;
    case ReadResult::kFailed:
      return false;
    case ReadResult::kMissing:
      break;
  }
  if (!createIfMissing) {
    *error = "no credential key [" + path + "]: no credential has been stored on this host";
    return false;
  }
  if (!createKey(path, error)) return false;
  switch (readKey(path, key, error)) {
    case ReadResult::kOk:
      return true;
    case ReadResult::kMissing:
      *error = "credential key [" + path + "] vanished after it was created";
      return false;
    case ReadResult::kFailed:
      break;
  }
  return false;
}

}  // namespace zarezodud
