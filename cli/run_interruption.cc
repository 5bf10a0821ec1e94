#include "run_interruption.h"

#include <utility>

#include "base/fd_io.h"
#include "platform/process/interrupt_signals.h"

namespace zcli {

using zarezodud::InterruptSignals;

RunInterruption::RunInterruption(Actions actions, int messageFd, bool newLineFirst)
    : m_actions(std::move(actions)), m_messageFd(messageFd), m_newLineFirst(newLineFirst) {
  m_signals = std::make_unique<InterruptSignals>([this](int signal, int count) { onSignal(signal, count); });
  // Started after the signals are taken over, so that it has them blocked like the caller.
  m_canceller = std::thread([this] { cancelUntilEnded(); });
}

RunInterruption::~RunInterruption() {
  phaseEnded();
  m_signals.reset();
  m_canceller.join();
}

bool RunInterruption::active() const { return m_signals->active(); }

std::string RunInterruption::error() const { return m_signals->error(); }

void RunInterruption::phaseEnded() {
  {
    // Taken while an action runs: when this returns, none is under way.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
  }
  m_changed.notify_all();
}

int RunInterruption::signal() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_signal;
}

void RunInterruption::onSignal(int signal, int count) {
  const std::string name = InterruptSignals::name(signal);
  if (count >= 2) {
    notify("zarezodud: still stopping (" + name +
           "); the run ends once the interrupted script is recorded. One more signal ends the command at "
           "once.");
    return;
  }
  bool phaseRunning;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    phaseRunning = !m_ended;
    if (phaseRunning) m_signal = signal;
  }
  if (!phaseRunning) {
    notify("zarezodud: " + name + " received after the phase ended; finishing the journal and the report.");
    return;
  }
  m_changed.notify_all();
  notify("zarezodud: interrupted (" + name +
         "): cancelling the running script; the run stops and records where it stood.");
}

void RunInterruption::cancelUntilEnded() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return m_signal != 0 || m_ended; });
  if (m_ended) return;
  // The actions run under the lock, so that phaseEnded() waits for the one under way.
  if (m_actions.stop) m_actions.stop("interrupted by " + InterruptSignals::name(m_signal));
  while (!m_ended) {
    if (m_actions.cancel) m_actions.cancel();
    m_changed.wait_for(lock, kCancelInterval, [this] { return m_ended; });
  }
}

void RunInterruption::notify(const std::string& text) const {
  const std::string line = (m_newLineFirst ? "\n" : "") + text + "\n";
  // One write per notice, so that it does not mix with the progress lines of the main thread.
  std::string ignored;  // nowhere to report that the report could not be written
  zarezodud::fdio::writeAll(m_messageFd, "standard error", line.data(), line.size(), &ignored);
}

}  // namespace zcli
