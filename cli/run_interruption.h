// RunInterruption: what Ctrl-C (SIGINT) and SIGTERM do while `zarezodud run` processes a phase.
//
// The first signal asks the engine to stop before its next script and cancels the batch that
// runs now; the cancel is repeated every kCancelInterval until processing returns, because one
// that reaches the connection just before a batch is sent finds nothing to cancel. The
// interrupted script fails, the journal records it as interrupted (a resume runs it again),
// and processing returns, so that the command writes its journal and report and ends. A second
// signal only says that the stop is under way: ending the command then could cut a journal
// record in half. From then on the signals act as without this object again, so a third one
// ends a command that is stuck.
//
// Thread-safety: made, told phaseEnded() and destroyed on the thread that runs the phase. The
// actions are called from the object's own threads while the phase runs, one at a time, and
// must be safe to call from there (INIFileProcessor::requestStop and
// DBQueries::cancelRunningScript are).
#ifndef ZAREZODUD_CLI_RUN_INTERRUPTION_H
#define ZAREZODUD_CLI_RUN_INTERRUPTION_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zarezodud {
class InterruptSignals;
}

namespace zcli {

class RunInterruption {
 public:
  struct Actions {
    // Asks processing to stop before its next script; reason names the signal.
    std::function<void(const std::string& reason)> stop;
    // Cancels the batch that runs now (nothing when none runs).
    std::function<void()> cancel;
  };

  static constexpr std::chrono::milliseconds kCancelInterval{100};

  // Takes the signals over. Notices to the operator are written to messageFd (standard error),
  // each on a line of its own; with newLineFirst each starts with a line feed (a progress bar
  // may hold the current line).
  RunInterruption(Actions actions, int messageFd, bool newLineFirst);
  // Calls phaseEnded() if that was not done, and gives the signals back.
  ~RunInterruption();
  RunInterruption(const RunInterruption&) = delete;
  RunInterruption& operator=(const RunInterruption&) = delete;

  // False when the signals could not be taken over (error() says why): they then end the
  // command as they would without this object.
  bool active() const;
  std::string error() const;

  // Processing returned. No action is under way or started once this returns, and a signal
  // from now on no longer interrupts the phase (the command only finishes its files).
  void phaseEnded();
  // The signal that arrived while the phase ran (before phaseEnded()), or 0.
  int signal() const;

 private:
  void onSignal(int signal, int count);
  void cancelUntilEnded();
  void notify(const std::string& text) const;

  Actions m_actions;
  int m_messageFd;
  bool m_newLineFirst;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_signal = 0;
  bool m_ended = false;
  std::thread m_canceller;
  std::unique_ptr<zarezodud::InterruptSignals> m_signals;
};

}  // namespace zcli

#endif
