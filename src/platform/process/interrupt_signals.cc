#include "platform/process/interrupt_signals.h"
#include "base/errno_text.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <utility>

#include "base/fd_io.h"

namespace zarezodud {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr int kSignalCount = 2;
// Written by the destructor: the object's thread ends when it reads it.
constexpr unsigned char kStopByte = 0;

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler may only use lock-free atomics");

std::mutex g_setupMutex;  // guards g_taken and the creation of the pipe
bool g_taken = false;
// The pipe lives as long as the process: a handler that runs late, on another thread, while an
// object goes away must never write to a descriptor that was closed and reused meanwhile.
int g_pipe[2] = {-1, -1};

// Read by the handler. Written only while no handler of ours is installed, before sigaction()
// installs it.
struct sigaction g_previous[kSignalCount];
std::atomic<bool> g_installed[kSignalCount];
std::atomic<int> g_seen{0};

sigset_t bothSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

void restorePrevious() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_installed[i].load()) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  }
}

// Async-signal-safe only: lock-free atomics, sigaction and write.
void onSignal(int signal) {
  const int savedErrno = errno;
  // From the second signal on, the earlier dispositions hold again (the next signal acts as
  // without us: a stuck process can still be ended).
  if (g_seen.fetch_add(1) >= 1) restorePrevious();
  const unsigned char byte = static_cast<unsigned char>(signal);
  const ssize_t written = ::write(g_pipe[1], &byte, 1);
  static_cast<void>(written);  // a full pipe already holds more signals than anyone reads
  errno = savedErrno;
}

bool ignoredNow(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

// Empties the pipe of bytes that a late handler of an earlier object left.
void drainPipe() {
  unsigned char buffer[64];
  while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

InterruptSignals::InterruptSignals(Handler handler) : m_handler(std::move(handler)) {
  std::lock_guard<std::mutex> lock(g_setupMutex);
  if (g_taken) {
    m_error = "the interruption signals are already taken over";
    return;
  }
  if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    m_error = errnoMessage("cannot create the signal pipe", "pipe", errno);
    g_pipe[0] = g_pipe[1] = -1;
    return;
  }
  drainPipe();
  g_seen.store(0);
  for (int i = 0; i < kSignalCount; ++i) {
    ::sigaction(kSignals[i], nullptr, &g_previous[i]);
    g_installed[i].store(!ignoredNow(g_previous[i]));
  }

  const sigset_t both = bothSignals();
  pthread_sigmask(SIG_BLOCK, &both, &m_previousMask);
  try {
    m_thread = std::thread([this] { watch(); });
  } catch (const std::system_error& e) {
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
    m_error = std::string("cannot start the signal thread: ") + e.what();
    return;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_mask = both;  // one handler at a time per thread
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_installed[i].load()) ::sigaction(kSignals[i], &action, nullptr);
  }
  g_taken = true;
  m_active = true;
}

InterruptSignals::~InterruptSignals() {
  if (!m_active) return;
  restorePrevious();
  // Signals taken before the stop byte are handled first: the pipe keeps their order.
  for (;;) {
    const ssize_t written = ::write(g_pipe[1], &kStopByte, 1);
    if (written == 1 || (errno != EINTR && errno != EAGAIN)) break;
    std::this_thread::yield();  // full: the thread is still reading
  }
  m_thread.join();
  pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
  std::lock_guard<std::mutex> lock(g_setupMutex);
  g_taken = false;
}

void InterruptSignals::watch() {
  // This thread is the one that takes the signals.
  const sigset_t both = bothSignals();
  pthread_sigmask(SIG_UNBLOCK, &both, nullptr);
  int count = 0;
  for (;;) {
    struct pollfd ready {};
    ready.fd = g_pipe[0];
    ready.events = POLLIN;
    if (::poll(&ready, 1, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    unsigned char byte = 0;
    const ssize_t got = ::read(g_pipe[0], &byte, 1);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got != 1 || byte == kStopByte) return;
    ++count;
    try {
      if (m_handler) m_handler(byte, count);
    } catch (...) {
      // A handler that failed must not end the process from this thread.
    }
  }
}

std::string InterruptSignals::name(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace zarezodud
