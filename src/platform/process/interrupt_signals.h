// InterruptSignals: takes SIGINT and SIGTERM over while the object lives, so that a long
// operation can stop in good order instead of being ended wherever the signal strikes.
//
// Nothing but async-signal-safe work happens in the signal handler: it counts the signal,
// writes its number into a pipe and, from the second signal on, puts back the dispositions
// that were in force before, so that a third signal acts as it would have without the
// object (by default, it ends the process). A thread of the object's own reads the pipe and
// calls the handler given to the constructor, one call per signal, in order.
//
// The calling thread (and every thread it starts while the object lives) has both signals
// blocked, so that system calls of the work in progress are not interrupted; the object's
// thread takes them. A signal that is ignored when the object is made stays ignored (a
// command started in the background by a shell is meant not to see the terminal's Ctrl-C).
//
// Thread-safety: at most one object at a time in a process; it is made and destroyed on the
// same thread. The handler runs on the object's thread and must not destroy the object.
#ifndef ZAREZODUD_PLATFORM_PROCESS_INTERRUPT_SIGNALS_H
#define ZAREZODUD_PLATFORM_PROCESS_INTERRUPT_SIGNALS_H

#include <signal.h>

#include <functional>
#include <string>
#include <thread>

#include "export.h"

namespace zarezodud {

class ZAREZODUD_API InterruptSignals {
 public:
  // signal: SIGINT or SIGTERM; count: how many signals the object took so far, this one
  // included (1 for the first).
  using Handler = std::function<void(int signal, int count)>;

  // Takes the signals over; active() says whether that worked. When it did not (another object
  // is active, no pipe or thread could be made), nothing changed and error() says why.
  explicit InterruptSignals(Handler handler);
  // Puts the earlier dispositions and the calling thread's signal mask back and stops the
  // object's thread; a signal after that acts as it did before the object was made. Handler
  // calls have ended when it returns.
  ~InterruptSignals();
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;

  bool active() const { return m_active; }
  const std::string& error() const { return m_error; }

  // "SIGINT", "SIGTERM", else "signal <n>".
  static std::string name(int signal);

 private:
  void watch();

  Handler m_handler;
  bool m_active = false;
  std::string m_error;
  sigset_t m_previousMask;
  std::thread m_thread;
};

}  // namespace zarezodud

#endif
