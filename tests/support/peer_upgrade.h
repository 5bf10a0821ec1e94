// PeerUpgrade: an installation in a temporary directory that the built zarezodud command runs
// for real through the FreeTDS ODBC driver against the SQL Server protocol test peer. It can
// start as a copy of examples/peer/ or empty, for a tree the test writes itself. Every run gets
// a private registry, output directory and the peer's password in ZAREZODUD_PASSWORD.
// Also reads the peer's SQLite databases (through python3, which the peer needs anyway).
//
// Not thread-safe; one object per test, used from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_PEER_UPGRADE_H
#define ZAREZODUD_TESTS_SUPPORT_PEER_UPGRADE_H

#include <string>
#include <utility>
#include <vector>

#include "support/command_runner.h"
#include "support/temp_dir.h"

namespace ztest {

class TdsPeer;

class PeerUpgrade {
 public:
  // program: the zarezodud command (tests pass ZAREZODUD_CLI_PATH). copyExamples: start from a
  // copy of examples/peer/ in root()/inst; otherwise root()/inst is empty.
  PeerUpgrade(std::string program, bool copyExamples);

  const std::string& root() const { return m_dir.path(); }
  // A path inside the installation directory.
  std::string path(const std::string& relative) const { return m_dir.file("inst/" + relative); }
  std::string write(const std::string& relative, const std::string& content) const {
    return m_dir.write("inst/" + relative, content);
  }
  // The registry root of the runs (created empty).
  std::string registryDir() const { return m_dir.file("registry"); }

  // "run PHASE --params params.ini --set SQLInstance=127.0.0.1,<port> --state-dir state".
  static std::vector<std::string> runArgs(const std::string& phase, int port);

  // The command with args, started in the installation directory, with the private
  // environment, the driver FreeTDS and password (the peer's unless overridden by env).
  CommandSpec invocation(const std::vector<std::string>& args, const std::string& password,
                   std::vector<std::pair<std::string, std::string>> env = {}) const;
  CommandResult run(const std::vector<std::string>& args, const std::string& password,
                    std::vector<std::pair<std::string, std::string>> env = {}) const;

  // The first column of every row of query, run directly on the peer's SQLite file for
  // database (created when missing), in order (NULL as ""). Failures are reported in *error.
  static std::vector<std::string> queryPeer(const TdsPeer& peer, const std::string& database,
                                            const std::string& query, std::string* error = nullptr);

 private:
  TempDir m_dir;
  std::string m_program;
};

}  // namespace ztest

#endif
