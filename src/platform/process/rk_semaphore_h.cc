#include "platform/process/rk_semaphore_h.h"

#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <new>

namespace zarezodud {
namespace {

class PosixSemaphore final : public RkSemaphoreH {
 public:
  PosixSemaphore() = default;
  PosixSemaphore(const PosixSemaphore&) = delete;
  PosixSemaphore& operator=(const PosixSemaphore&) = delete;
  ~PosixSemaphore() override {
    if (m_initialized) sem_destroy(&m_sem);
  }

  bool init(unsigned initialCount) {
    m_initialized = sem_init(&m_sem, 0, initialCount) == 0;
    return m_initialized;
  }

  bool wait() override {
    while (sem_wait(&m_sem) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }

  bool tryWait() override {
    while (sem_trywait(&m_sem) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }

  bool post() override { return sem_post(&m_sem) == 0; }

 private:
  sem_t m_sem{};
  bool m_initialized = false;
};

std::atomic<RkSemaphoreHFactory> g_factory{&createPosixSemaphore};

}  // namespace

RkSemaphoreH::~RkSemaphoreH() = default;

std::unique_ptr<RkSemaphoreH> RkSemaphoreH::create(unsigned initialCount) {
  return g_factory.load()(initialCount);
}

std::unique_ptr<RkSemaphoreH> createPosixSemaphore(unsigned initialCount) {
  std::unique_ptr<PosixSemaphore> semaphore(new (std::nothrow) PosixSemaphore);
  if (!semaphore || !semaphore->init(initialCount)) return nullptr;
  return semaphore;
}

RkSemaphoreHFactory setRkSemaphoreHFactory(RkSemaphoreHFactory factory) {
  return g_factory.exchange(factory != nullptr ? factory : &createPosixSemaphore);
}

}  // namespace zarezodud
