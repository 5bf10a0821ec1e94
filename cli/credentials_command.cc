// zarezodud credentials set: stores an SQL user and password in the registry as one encrypted
// value ("NN" user-name length, user name, password). The password is read from standard
// input, without echo when that is a terminal, and never from an argument.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "commands.h"
#include "db/secure_text.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/rk_platform_info.h"

namespace zcli {

namespace {

struct CredentialOptions {
  std::string key;
  std::string value;
  std::string user;
  std::string focus;
  bool focusGiven = false;
};

// Reads one line from standard input into password (newline and carriage return removed). On a
// terminal, prompts on standard error and turns echo off for the read. False at end of input.
bool readPassword(std::string& password) {
  const bool terminal = ::isatty(STDIN_FILENO) != 0;
  termios saved{};
  bool echoOff = false;
  if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    echoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    std::cerr << "Password: " << std::flush;
  }
  password.clear();
  bool gotAny = false;
  int c;
  while ((c = std::getchar()) != EOF) {
    gotAny = true;
    if (c == '\n') break;
    password.push_back(static_cast<char>(c));
  }
  if (echoOff) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return gotAny;
}

int runSet(const CredentialOptions& options) {
  if (options.user.empty() || options.user.size() > 99) {
    printError("--user must hold 1 to 99 characters (its length is stored in two digits).");
    return kExitUsage;
  }
  std::string password;
  if (!readPassword(password) || password.empty()) {
    zarezodud::clearString(password);
    printError(
        "no password on standard input. Type it at the prompt or pipe it in, e.g. "
        "zarezodud credentials set ... < password-file");
    return kExitFailure;
  }
  char length[3];
  std::snprintf(length, sizeof length, "%02zu", options.user.size());
  std::string plain = std::string(length) + options.user + password;
  const size_t passwordBytes = password.size();
  zarezodud::clearString(password);
  std::string error;
  const std::string encrypted = zarezodud::RKPassword::encrypt(plain, &error);
  zarezodud::clearString(plain);
  const size_t plainBytes = 2 + options.user.size() + passwordBytes;
  if (encrypted.empty()) {
    printError("cannot encrypt the credential: " + error);
    return kExitFailure;
  }
  // Stored only when its readers can read it back whole: a credential too long for their
  // buffers would be reported stored and then fail every connection.
  if (!zarezodud::credentialFitsReaders(plainBytes, encrypted.size())) {
    printError("the credential (user name and password: " + std::to_string(plainBytes - 2) +
               " bytes) is too long for its readers to read back whole. Nothing was stored; use a shorter "
               "password.");
    return kExitFailure;
  }
  zarezodud::RKPlatformInfo registry;
  if (options.focusGiven) registry.setFocus(options.focus.c_str());
  if (!registry.setString(options.key.c_str(), options.value.c_str(), encrypted)) {
    printError(registry.getFilePath() + ": " + registry.getLastErrorMsg());
    return kExitFailure;
  }
  std::cout << "Stored the credential of user [" << options.user << "] in [" << options.key << "] "
            << options.value << " (focus " << registry.getFocus() << ").\n";
  return kExitSuccess;
}

}  // namespace

Command addCredentialsCommand(CLI::App& app) {
  auto options = std::make_shared<CredentialOptions>();
  CLI::App* cmd = app.add_subcommand("credentials", "Store encrypted SQL credentials in the registry");
  cmd->require_subcommand(1);
  CLI::App* set = cmd->add_subcommand("set", "Encrypt and store an SQL user and password");
  set->add_option("--key", options->key, "Registry key path")->required();
  set->add_option("--value", options->value, "Registry value name")->required();
  set->add_option("--user", options->user, "SQL user name")->required();
  set->add_option("--focus", options->focus, "Instance (focus) to address")
      ->each([options](const std::string&) { options->focusGiven = true; });
  set->footer(
      "The password is read from standard input (without echo on a terminal), never from an\n"
      "argument. The credential key is created on first use beside the registry.\n"
      "Exit codes: 0 stored, 2 failure, 64 usage error.\n"
      "Example:\n  zarezodud credentials set --key Database --value sSQLUser --user zarezodud_upgrade");
  auto run = [options, set, cmd]() -> int {
    if (set->parsed()) return runSet(*options);
    std::cout << cmd->help();
    return kExitUsage;
  };
  return Command{cmd, run};
}

}  // namespace zcli
