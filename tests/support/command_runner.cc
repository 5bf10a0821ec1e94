#include "support/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace ztest {

namespace {

// In the child: environment, directory, exec. Never returns.
[[noreturn]] void execChild(const CommandSpec& invocation) {
  // The command starts as from an interactive shell, whatever the test runner inherited (a
  // shell's background job ignores SIGINT), so that the tests that interrupt it can.
  sigset_t interrupts;
  sigemptyset(&interrupts);
  for (int signal : {SIGINT, SIGTERM}) {
    ::signal(signal, SIG_DFL);
    sigaddset(&interrupts, signal);
  }
  ::sigprocmask(SIG_UNBLOCK, &interrupts, nullptr);
  for (const std::string& name : invocation.unset) ::unsetenv(name.c_str());
  for (const auto& item : invocation.env) ::setenv(item.first.c_str(), item.second.c_str(), 1);
  if (!invocation.cwd.empty() && ::chdir(invocation.cwd.c_str()) != 0) ::_exit(125);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(invocation.program.c_str()));
  for (const std::string& arg : invocation.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(invocation.program.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace

CommandResult waitCommand(pid_t pid) {
  CommandResult result;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

bool sendWhileStopped(pid_t pid, const std::vector<int>& signals) {
  if (::kill(pid, SIGSTOP) != 0) return false;
  // The third field of /proc/<pid>/stat is the state; "T" once the stop has taken effect.
  const std::string statFile = "/proc/" + std::to_string(pid) + "/stat";
  bool stopped = false;
  for (int i = 0; i < 500 && !stopped; ++i) {
    std::ifstream in(statFile);
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    stopped = close != std::string::npos && stat.compare(close, 3, ") T") == 0;
    if (!stopped) ::usleep(10000);
  }
  for (int signal : signals) {
    if (stopped) ::kill(pid, signal);
  }
  ::kill(pid, SIGCONT);
  return stopped;
}

CommandResult runCommand(const CommandSpec& invocation) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    return CommandResult();
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    execChild(invocation);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  // Feed the input, then read both outputs until they close, never blocking on one of them.
  ::signal(SIGPIPE, SIG_IGN);
  size_t written = 0;
  while (written < invocation.input.size()) {
    const ssize_t n = ::write(in[1], invocation.input.data() + written, invocation.input.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(in[1]);
  CommandResult result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  const CommandResult status = waitCommand(pid);
  result.exitCode = status.exitCode;
  result.signal = status.signal;
  return result;
}

pid_t startCommand(const CommandSpec& invocation, const std::string& outputFile) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (devNull < 0 || output < 0) ::_exit(126);
    ::dup2(devNull, 0);
    ::dup2(output, 1);
    ::dup2(output, 2);
    execChild(invocation);
  }
  return pid;
}

}  // namespace ztest
