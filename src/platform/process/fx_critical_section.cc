#include "platform/process/fx_critical_section.h"

#include <pthread.h>

#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/sync/interprocess_recursive_mutex.hpp>
#include <thread>

namespace zarezodud {

// Which thread holds the mutex and how deep: written only by the holding thread while it holds
// the mutex, so another thread reading the holder never sees its own identity there.
struct FXCriticalSection::Impl {
  boost::interprocess::interprocess_recursive_mutex mutex;
  std::atomic<std::thread::id> holder{};
  int depth = 0;
};

FXCriticalSection::FXCriticalSection() : m_impl(new Impl) {}

FXCriticalSection::~FXCriticalSection() = default;

std::uint32_t FXCriticalSection::currentThreadId() {
  // pthread_t is an integer handle on Linux; its low 32 bits name the thread.
  return static_cast<std::uint32_t>(pthread_self());
}

void FXCriticalSection::Lock() {
  try {
    m_impl->mutex.lock();
  } catch (const boost::interprocess::interprocess_exception&) {
    return;
  }
  m_impl->holder.store(std::this_thread::get_id());
  ++m_impl->depth;
  m_owner.store(currentThreadId());
}

void FXCriticalSection::Unlock() {
  if (m_impl->holder.load() != std::this_thread::get_id() || m_impl->depth == 0) return;
  m_owner.store(0);
  if (--m_impl->depth == 0) m_impl->holder.store(std::thread::id());
  m_impl->mutex.unlock();
}

}  // namespace zarezodud
