// TdsPeer: runs the SQL Server protocol test peer (tests/tds_peer/tds_peer.py, Python 3) for
// one test suite: starts it on a free loopback port with a private state directory and
// request log, gives FreeTDS connection strings for it, reads back what it received, and
// stops it (SIGTERM, then wait) on destruction. The peer is a test instrument only.
//
// Not thread-safe; one object per test suite, used from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_TDS_PEER_H
#define ZAREZODUD_TESTS_SUPPORT_TDS_PEER_H

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ztest {

class TdsPeer {
 public:
  struct Options {
    std::string user = "sa";
    std::string password = "Peer$ecret-7";
    // Logical file names that RESTORE FILELISTONLY reports, in order.
    std::vector<std::string> filelist;
    // Accept connections but never answer.
    bool hang = false;
    // Loopback port to listen on; 0 lets the system pick one. A restarted peer can take the
    // port it had before, so that clients configured for it find it again.
    int port = 0;
  };

  TdsPeer();
  // Stops the peer; its state directory goes with the object.
  ~TdsPeer();
  TdsPeer(const TdsPeer&) = delete;
  TdsPeer& operator=(const TdsPeer&) = delete;

  // True when python3 is on the PATH and the FreeTDS ODBC driver is registered with the
  // driver manager; otherwise false with what is missing.
  static bool available(std::string& missing);
  // True when program (e.g. "isql", "tsql") is on the PATH.
  static bool onPath(const std::string& program);

  // Starts the peer and waits (up to 20 s) for its port. False with a reason on failure.
  bool start(const Options& options, std::string& reason);
  // SIGTERM and wait; harmless when not running.
  void stop();

  int port() const { return port_; }
  const Options& options() const { return options_; }
  // "Driver={FreeTDS};Server=127.0.0.1,<port>;Database=<db>;UID=<user>;PWD=<password>;
  //  TDS_Version=7.4;ClientCharset=UTF-8;" with the configured user and password.
  std::string connectionString(const std::string& database) const;
  // The same with another password.
  std::string connectionString(const std::string& database, const std::string& password) const;

  // Every request the peer logged so far, one JSON object per entry, in arrival order.
  std::vector<std::string> logEntries() const;
  // The "text" values of the logged entries of the given kind ("batch", "rpc", "canned",
  // "login"), JSON escapes decoded.
  std::vector<std::string> loggedTexts(const std::string& kind) const;
  // The directory holding the peer's SQLite databases.
  std::string stateDir() const { return dir_->file("state"); }

 private:
  std::unique_ptr<TempDir> dir_;
  Options options_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// The value of a string member "name" of one JSON object line ("" when absent).
std::string jsonStringField(const std::string& line, const std::string& name);

}  // namespace ztest

#endif
