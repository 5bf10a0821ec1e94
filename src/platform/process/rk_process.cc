#include "platform/process/rk_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/fs/zu_error.h"

extern char** environ;

namespace zarezodud {
namespace {

// A file descriptor closed when it goes.
class Fd {
 public:
  Fd() = default;
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  int* out() { return &m_fd; }
  void reset() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd = -1;
};

struct Pipe {
  Fd read;
  Fd write;
  bool open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    *read.out() = fds[0];
    *write.out() = fds[1];
    return true;
  }
};

// posix_spawn attributes and file actions, released when they go.
class SpawnSetup {
 public:
  SpawnSetup() {
    m_attrOk = posix_spawnattr_init(&m_attr) == 0;
    m_actionsOk = posix_spawn_file_actions_init(&m_actions) == 0;
  }
  ~SpawnSetup() {
    if (m_attrOk) posix_spawnattr_destroy(&m_attr);
    if (m_actionsOk) posix_spawn_file_actions_destroy(&m_actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Child: stdin from /dev/null, stdout and stderr into the pipes, default signal handling and
  // an empty signal mask (whatever the host ignores or blocks), and with ownGroup a process
  // group of its own so that a timeout can end everything it started.
  int prepare(int outFd, int errFd, bool ownGroup) {
    if (!m_attrOk || !m_actionsOk) return ENOMEM;
    int rc = posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&m_actions, outFd, STDOUT_FILENO);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&m_actions, errFd, STDERR_FILENO);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (ownGroup) flags |= POSIX_SPAWN_SETPGROUP;
    if (rc == 0) rc = posix_spawnattr_setsigdefault(&m_attr, &all);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&m_attr, &none);
    if (rc == 0 && ownGroup) rc = posix_spawnattr_setpgroup(&m_attr, 0);
    if (rc == 0) rc = posix_spawnattr_setflags(&m_attr, flags);
    return rc;
  }

  const posix_spawnattr_t* attr() const { return &m_attr; }
  const posix_spawn_file_actions_t* actions() const { return &m_actions; }

 private:
  posix_spawnattr_t m_attr;
  posix_spawn_file_actions_t m_actions;
  bool m_attrOk = false;
  bool m_actionsOk = false;
};

int failWith(std::string& err, const CZuError& error) {
  err = error.GetMessage();
  return -1;
}

// Reads both pipes until both reach their end or the deadline passes. Returns false on timeout.
bool drain(Fd& outFd, Fd& errFd, std::string& out, std::string& err, int timeoutSeconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
  char buffer[65536];
  Fd* fds[2] = {&outFd, &errFd};
  std::string* sinks[2] = {&out, &err};
  while (outFd.get() >= 0 || errFd.get() >= 0) {
    pollfd polled[2];
    int count = 0;
    int which[2];
    for (int i = 0; i < 2; ++i) {
      if (fds[i]->get() < 0) continue;
      polled[count] = pollfd{fds[i]->get(), POLLIN, 0};
      which[count++] = i;
    }
    int waitMs = -1;
    if (timeoutSeconds > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      waitMs = left > 60000 ? 60000 : static_cast<int>(left);
    }
    int ready = poll(polled, count, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // poll itself failing leaves nothing sensible to wait on; stop reading.
      outFd.reset();
      errFd.reset();
      break;
    }
    for (int k = 0; k < count; ++k) {
      if (polled[k].revents == 0) continue;
      Fd& fd = *fds[which[k]];
      ssize_t got = read(fd.get(), buffer, sizeof buffer);
      if (got > 0) {
        sinks[which[k]]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        fd.reset();
      }
    }
  }
  return true;
}

}  // namespace

int RkProcess::system(const std::string& commandLine, std::string& out, std::string& err, int timeoutSeconds,
                      bool) {
  return run("/bin/sh", {"sh", "-c", commandLine}, out, err, timeoutSeconds);
}

int RkProcess::run(const std::string& program, const std::vector<std::string>& args, std::string& out,
                   std::string& err, int timeoutSeconds) {
  out.clear();
  err.clear();
  if (timeoutSeconds < 0) timeoutSeconds = 0;
  Pipe outPipe, errPipe;
  if (!outPipe.open() || !errPipe.open())
    return failWith(err, CZuError::FromErrno("Cannot create a pipe", errno));

  SpawnSetup setup;
  int rc = setup.prepare(outPipe.write.get(), errPipe.write.get(), timeoutSeconds > 0);
  if (rc != 0) return failWith(err, CZuError::FromErrno("Cannot prepare to start [" + program + "]", rc));

  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  rc = posix_spawn(&pid, program.c_str(), setup.actions(), setup.attr(), argv.data(), environ);
  if (rc != 0) return failWith(err, CZuError::FromErrno("Cannot start [" + program + "]", rc));
  // Only the child may hold the write ends now, so the pipes end when it (and whatever it
  // started) is done.
  outPipe.write.reset();
  errPipe.write.reset();

  const bool finished = drain(outPipe.read, errPipe.read, out, err, timeoutSeconds);
  if (!finished) {
    kill(-pid, SIGKILL);
    outPipe.read.reset();
    errPipe.read.reset();
  }

  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0)
    return failWith(err, CZuError::FromErrno("Cannot collect the exit status of [" + program + "]", errno));

  if (!finished) {
    if (!err.empty() && err.back() != '\n') err += '\n';
    err += "Command killed after " + std::to_string(timeoutSeconds) + " seconds.\n";
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace zarezodud
