#include "platform/odbc/batch_deadline.h"

#include <utility>

namespace zarezodud {

BatchDeadline::BatchDeadline(std::function<void()> onExpiry)
    : m_onExpiry(std::move(onExpiry)), m_thread([this] { watch(); }) {}

BatchDeadline::~BatchDeadline() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void BatchDeadline::arm(std::chrono::steady_clock::duration limit) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deadline = std::chrono::steady_clock::now() + limit;
    m_armed = true;
    m_expired = false;
  }
  m_changed.notify_all();
}

bool BatchDeadline::disarm() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed = false;
  return m_expired;
}

void BatchDeadline::watch() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_stop) {
    if (!m_armed) {
      m_changed.wait(lock);
      continue;
    }
    const auto deadline = m_deadline;
    if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout && m_armed && !m_stop &&
        m_deadline == deadline) {
      m_armed = false;
      m_expired = true;
      // The action runs with the lock held, so that disarm() returns only after it ended and
      // reports the expiry: the caller never sees a batch pass that the action cancelled.
      m_onExpiry();
    }
  }
}

}  // namespace zarezodud
