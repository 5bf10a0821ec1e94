#include "support/tds_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "platform/odbc/odbc_driver_detection.h"

extern char** environ;

namespace ztest {
namespace {

std::string jsonQuote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0x0f];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void appendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

unsigned hex4(const std::string& s, std::size_t at) {
  return static_cast<unsigned>(std::stoul(s.substr(at, 4), nullptr, 16));
}

// Reads one line from fd within the deadline; false on timeout or end of file.
bool readLine(int fd, std::string& line, std::chrono::steady_clock::time_point deadline) {
  line.clear();
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

}  // namespace

std::string jsonStringField(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\": \"";
  std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  std::string out;
  for (std::size_t i = at + key.size(); i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') break;
    if (c != '\\' || i + 1 >= line.size()) {
      out += c;
      continue;
    }
    const char e = line[++i];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        if (i + 4 >= line.size()) return out;
        unsigned code = hex4(line, i + 1);
        i += 4;
        if (code >= 0xD800 && code < 0xDC00 && i + 6 < line.size() && line[i + 1] == '\\' &&
            line[i + 2] == 'u') {
          const unsigned low = hex4(line, i + 3);
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        }
        appendUtf8(out, code);
        break;
      }
      default:
        out += e;
    }
  }
  return out;
}

TdsPeer::TdsPeer() : dir_(std::make_unique<TempDir>()) {}

TdsPeer::~TdsPeer() { stop(); }

bool TdsPeer::onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

bool TdsPeer::available(std::string& missing) {
  if (!onPath("python3")) {
    missing = "python3 is not on the PATH (needed by the protocol test peer)";
    return false;
  }
  const std::vector<std::string> drivers = zarezodud::installedOdbcDrivers();
  if (std::find(drivers.begin(), drivers.end(), "FreeTDS") == drivers.end()) {
    missing = "ODBC driver FreeTDS (tdsodbc) is not registered with the driver manager";
    return false;
  }
  return true;
}

bool TdsPeer::start(const Options& options, std::string& reason) {
  stop();
  options_ = options;
  std::string filelist = "[";
  for (std::size_t i = 0; i < options.filelist.size(); ++i) {
    if (i) filelist += ", ";
    filelist += jsonQuote(options.filelist[i]);
  }
  filelist += "]";
  std::vector<std::string> args = {
      "python3",     std::string(ZAREZODUD_SOURCE_DIR) + "/tests/tds_peer/tds_peer.py",
      "--user",      options.user,
      "--password",  options.password,
      "--state-dir", stateDir(),
      "--filelist",  filelist,
      "--log",       dir_->file("requests.jsonl")};
  if (options.hang) args.push_back("--hang");
  if (options.port > 0) {
    args.push_back("--port");
    args.push_back(std::to_string(options.port));
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    reason = "cannot create a pipe for the peer's output";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const int rc = ::posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    pid_ = -1;
    reason = "cannot start python3";
    return false;
  }
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  const bool got = readLine(out[0], line, deadline);
  ::close(out[0]);
  if (!got || line.rfind("PORT ", 0) != 0) {
    reason = "the peer did not report its port (output: \"" + line + "\")";
    stop();
    return false;
  }
  port_ = std::atoi(line.c_str() + 5);
  return port_ > 0;
}

void TdsPeer::stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  port_ = 0;
}

std::string TdsPeer::connectionString(const std::string& database) const {
  return connectionString(database, options_.password);
}

std::string TdsPeer::connectionString(const std::string& database, const std::string& password) const {
  return "Driver={FreeTDS};Server=127.0.0.1," + std::to_string(port_) + ";Database=" + database +
         ";UID=" + options_.user + ";PWD=" + password + ";TDS_Version=7.4;ClientCharset=UTF-8;";
}

std::vector<std::string> TdsPeer::logEntries() const {
  std::vector<std::string> entries;
  std::stringstream in(readFile(dir_->file("requests.jsonl")));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) entries.push_back(line);
  }
  return entries;
}

std::vector<std::string> TdsPeer::loggedTexts(const std::string& kind) const {
  std::vector<std::string> texts;
  for (const std::string& entry : logEntries()) {
    if (jsonStringField(entry, "kind") == kind) texts.push_back(jsonStringField(entry, "text"));
  }
  return texts;
}

}  // namespace ztest
