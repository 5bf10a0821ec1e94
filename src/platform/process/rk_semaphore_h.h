// RkSemaphoreH: the platform's counting semaphore, an unnamed POSIX semaphore shared by the
// threads of one process. Creation goes through a process-wide factory that a test may
// replace (for example to make creation fail) and restore.
//
// Thread-safety: wait, tryWait and post may be called from any thread at once; the factory
// pointer is atomic.
#ifndef ZAREZODUD_PLATFORM_PROCESS_RK_SEMAPHORE_H_H
#define ZAREZODUD_PLATFORM_PROCESS_RK_SEMAPHORE_H_H

#include <memory>

namespace zarezodud {

class RkSemaphoreH {
 public:
  virtual ~RkSemaphoreH();

  // Blocks until a unit is available and takes it (retries when a signal interrupts the
  // wait). Returns false only when the semaphore is unusable.
  virtual bool wait() = 0;
  // Takes a unit when one is available without blocking; false otherwise.
  virtual bool tryWait() = 0;
  // Gives back one unit; false when the count would overflow.
  virtual bool post() = 0;

  // A new process-private semaphore holding initialCount units, or null when it cannot be
  // allocated or initialised. Goes through the current factory.
  static std::unique_ptr<RkSemaphoreH> create(unsigned initialCount);
};

using RkSemaphoreHFactory = std::unique_ptr<RkSemaphoreH> (*)(unsigned initialCount);

// The production factory (POSIX sem_t).
std::unique_ptr<RkSemaphoreH> createPosixSemaphore(unsigned initialCount);

// Replaces the factory used by RkSemaphoreH::create and returns the previous one; null
// restores the production factory.
RkSemaphoreHFactory setRkSemaphoreHFactory(RkSemaphoreHFactory factory);

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_PROCESS_RK_SEMAPHORE_H_H
