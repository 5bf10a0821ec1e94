// BatchDeadline: a watchdog for one script run. While armed it waits on its own thread for the
// deadline and, if the deadline passes before it is disarmed, calls the expiry action once
// (the connection service cancels the running statement with it). Used to hold each batch of
// a script to a time limit measured by the client, whatever the server sends meanwhile.
//
// Thread-safety: arm() and disarm() are called by the thread that runs the batches; the expiry
// action runs on the watchdog's thread and must be safe to call from there.
#ifndef ZAREZODUD_PLATFORM_ODBC_BATCH_DEADLINE_H
#define ZAREZODUD_PLATFORM_ODBC_BATCH_DEADLINE_H

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace zarezodud {

class BatchDeadline {
 public:
  // Starts the watchdog thread; onExpiry must not be empty.
  explicit BatchDeadline(std::function<void()> onExpiry);
  // Stops and joins the thread; an armed deadline is dropped without calling the action.
  ~BatchDeadline();
  BatchDeadline(const BatchDeadline&) = delete;
  BatchDeadline& operator=(const BatchDeadline&) = delete;

  // Arms the deadline limit from now (replacing an armed one).
  void arm(std::chrono::steady_clock::duration limit);
  // Disarms it. Returns true when the deadline passed (and the action ran) since arm().
  bool disarm();

 private:
  void watch();

  std::function<void()> m_onExpiry;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::chrono::steady_clock::time_point m_deadline;
  bool m_armed = false;
  bool m_expired = false;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace zarezodud

#endif
