#include "support/postgres_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ztest {
namespace {

const char kBin[] = "/usr/lib/postgresql/15/bin";

int freeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace

PostgresServer::~PostgresServer() { stop(); }

bool PostgresServer::runAsServerUser(const std::string& command) const {
  std::string full = asPostgresUser_ ? "runuser -u postgres -- sh -c '" + command + "'" : command;
  full += " >/dev/null 2>&1";
  return std::system(full.c_str()) == 0;
}

bool PostgresServer::installed(std::string& missing) {
  if (::access((std::string(kBin) + "/initdb").c_str(), X_OK) != 0 ||
      ::access((std::string(kBin) + "/pg_ctl").c_str(), X_OK) != 0) {
    missing = std::string("PostgreSQL 15 server binaries (") + kBin + ") are not installed";
    return false;
  }
  return true;
}

bool PostgresServer::start(std::string& reason) {
  if (!installed(reason)) return false;
  std::string templ = "/tmp/zarezodud-pg-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) {
    reason = "cannot create a temporary directory for the server";
    return false;
  }
  dir_ = templ;
  if (::geteuid() == 0) {
    const passwd* pw = ::getpwnam("postgres");
    if (pw == nullptr) {
      reason = "running as root and there is no postgres user to run the server as";
      return false;
    }
    if (::chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
      reason = "cannot hand the server directory to the postgres user";
      return false;
    }
    asPostgresUser_ = true;
  }
  const std::string pwfile = dir_ + "/pw";
  if (!runAsServerUser("printf %s " + std::string(password()) + " > " + pwfile)) {
    reason = "cannot write the password file";
    return false;
  }
  if (!runAsServerUser(std::string(kBin) + "/initdb -D " + dir_ + "/data -U zarezodud --pwfile=" + pwfile +
                       " -A trust -E UTF8 --no-sync")) {
    reason = "initdb failed";
    return false;
  }
  for (int attempt = 0; attempt < 5 && !running_; ++attempt) {
    port_ = freeLoopbackPort();
    if (port_ == 0) continue;
    running_ = runAsServerUser(std::string(kBin) + "/pg_ctl -D " + dir_ + "/data -l " + dir_ +
                               "/server.log -w -t 60 -o \"-p " + std::to_string(port_) + " -k " + dir_ +
                               " -c listen_addresses=127.0.0.1 -c fsync=off\" start");
  }
  if (!running_) reason = "pg_ctl could not start the server (see " + dir_ + "/server.log)";
  return running_;
}

void PostgresServer::stop() {
  if (running_) runAsServerUser(std::string(kBin) + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop");
  running_ = false;
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    dir_.clear();
  }
}

std::string PostgresServer::connectionString() const {
  return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
         ";Database=postgres;UID=zarezodud;PWD=" + password() + ";";
}

}  // namespace ztest
