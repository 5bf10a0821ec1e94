#include "support/peer_upgrade.h"

#include <cctype>
#include <filesystem>
#include <sstream>

#include "support/tds_peer.h"

namespace ztest {

PeerUpgrade::PeerUpgrade(std::string program, bool copyExamples) : m_program(std::move(program)) {
  std::filesystem::create_directories(m_dir.file("registry"));
  if (copyExamples) {
    std::filesystem::copy(std::string(ZAREZODUD_SOURCE_DIR) + "/examples/peer", m_dir.file("inst"),
                          std::filesystem::copy_options::recursive);
    // Logs and state of a demo run in the source tree are not part of the installation.
    std::filesystem::remove_all(m_dir.file("inst/logs"));
    std::filesystem::remove_all(m_dir.file("inst/state"));
  } else {
    std::filesystem::create_directories(m_dir.file("inst"));
  }
}

std::vector<std::string> PeerUpgrade::runArgs(const std::string& phase, int port) {
  return {"run",         phase,   "--params",
          "params.ini",  "--set", "SQLInstance=127.0.0.1," + std::to_string(port),
          "--state-dir", "state"};
}

CommandSpec PeerUpgrade::invocation(const std::vector<std::string>& args, const std::string& password,
                                    std::vector<std::pair<std::string, std::string>> env) const {
  CommandSpec invocation;
  invocation.program = m_program;
  invocation.args = args;
  invocation.cwd = m_dir.file("inst");
  invocation.env = {{"ZAREZODUD_REGISTRY_DIR", registryDir()}, {"ZAREZODUD_OUTPUT_DIR", m_dir.file("output")},
                    {"ZAREZODUD_INSTANCE", "default"},         {"ZAREZODUD_ODBC_DRIVER", "FreeTDS"},
                    {"ZAREZODUD_PASSWORD", password},          {"ZAREZODUD_LOGIN_TIMEOUT", "10"}};
  for (auto& item : env) invocation.env.push_back(std::move(item));
  invocation.unset = {"ZAREZODUD_ODBC_ATTRIBUTES"};
  return invocation;
}

CommandResult PeerUpgrade::run(const std::vector<std::string>& args, const std::string& password,
                               std::vector<std::pair<std::string, std::string>> env) const {
  return runCommand(invocation(args, password, std::move(env)));
}

std::vector<std::string> PeerUpgrade::queryPeer(const TdsPeer& peer, const std::string& database,
                                                const std::string& query, std::string* error) {
  std::vector<std::string> rows;
  std::string lower = database;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string file = peer.stateDir() + "/db_" + lower + ".sqlite";
  // The query and the path travel as arguments, never inside the program text.
  CommandSpec invocation;
  invocation.program = "/usr/bin/env";
  invocation.args = {"python3", "-c",
                     "import sqlite3, sys\n"
                     "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                     "for r in c.execute(sys.argv[2]):\n"
                     "    print('' if r[0] is None else r[0])\n",
                     file, query};
  const CommandResult result = runCommand(invocation);
  if (result.exitCode != 0 && error != nullptr) *error = result.err;
  std::istringstream in(result.out);
  std::string line;
  while (std::getline(in, line)) rows.push_back(line);
  return rows;
}

}  // namespace ztest
