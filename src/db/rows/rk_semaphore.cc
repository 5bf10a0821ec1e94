#include "db/rows/rk_semaphore.h"

#include <stdexcept>

#include "platform/process/rk_semaphore_h.h"

namespace zarezodud {

RkSemaphore::RkSemaphore(int initialCount)
    : m_handle(RkSemaphoreH::create(initialCount > 0 ? static_cast<unsigned>(initialCount) : 0u)) {
  if (!m_handle) throw std::runtime_error("Not enough memory to initialize RkSemaphore");
}

RkSemaphore::~RkSemaphore() = default;

bool RkSemaphore::wait() { return m_handle->wait(); }

bool RkSemaphore::tryWait() { return m_handle->tryWait(); }

bool RkSemaphore::release(int count) {
  bool ok = true;
  for (int i = 0; i < count; ++i) ok = m_handle->post() && ok;
  return ok;
}

RKSimpleDBSem::RKSimpleDBSem(int initialCount) : m_semaphore(initialCount) {}

RKSimpleDBSem::~RKSimpleDBSem() = default;

bool RKSimpleDBSem::wait() { return m_semaphore.wait(); }

bool RKSimpleDBSem::tryWait() { return m_semaphore.tryWait(); }

bool RKSimpleDBSem::release(int count) {
  static_cast<void>(count);
  return m_semaphore.release(1);
}

}  // namespace zarezodud
