// Runs a program (the zarezodud command in the command tests) as a child process with
// fork/exec: given arguments, extra environment, standard input and working directory; collects
// its exit status and both output streams. startCommand leaves the child running for tests
// that kill it. Not thread-safe (uses the process environment when forking).
#ifndef ZAREZODUD_TESTS_SUPPORT_COMMAND_RUNNER_H
#define ZAREZODUD_TESTS_SUPPORT_COMMAND_RUNNER_H

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace ztest {

struct CommandSpec {
  std::string program;
  std::vector<std::string> args;
  // Set (value given) or, with an empty value and unset = true, removed.
  std::vector<std::pair<std::string, std::string>> env;
  std::vector<std::string> unset;
  std::string input;
  std::string cwd;  // "" = the test's working directory
};

struct CommandResult {
  int exitCode = -1;  // -1 when killed by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// Runs the command to its end.
CommandResult runCommand(const CommandSpec& invocation);

// Starts the command with standard input empty and both outputs appended to outputFile; returns
// the child's pid (-1 on failure).
pid_t startCommand(const CommandSpec& invocation, const std::string& outputFile);

// Waits for a started child; fills exitCode or signal.
CommandResult waitCommand(pid_t pid);

// Stops a started child, sends it the signals while it is stopped and lets it go on, so that
// all of them arrive before it can act on the first. Two of the same signal would arrive as one.
// False when the child could not be stopped (or had ended) within 5 s.
bool sendWhileStopped(pid_t pid, const std::vector<int>& signals);

}  // namespace ztest

#endif
