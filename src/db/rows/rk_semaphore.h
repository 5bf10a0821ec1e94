// RkSemaphore: a counting semaphore object over the platform semaphore RkSemaphoreH, and
// RKSimpleDBSem, the table layer's semaphore over it, whose release always gives back exactly
// one unit. Construction fails with std::runtime_error("Not enough memory to initialize
// RkSemaphore") when the platform semaphore cannot be allocated.
//
// Thread-safety: wait and release may be called from any thread at once. Not copyable.
#ifndef ZAREZODUD_DB_ROWS_RK_SEMAPHORE_H
#define ZAREZODUD_DB_ROWS_RK_SEMAPHORE_H

#include <memory>

namespace zarezodud {

class RkSemaphoreH;

class RkSemaphore {
 public:
  // A semaphore holding initialCount units (negative counts as 0). Throws std::runtime_error
  // when the platform semaphore cannot be allocated.
  explicit RkSemaphore(int initialCount);
  ~RkSemaphore();
  RkSemaphore(const RkSemaphore&) = delete;
  RkSemaphore& operator=(const RkSemaphore&) = delete;

  // Blocks until a unit is available and takes it; false when the semaphore failed.
  bool wait();
  // Takes a unit if one is free, without blocking.
  bool tryWait();
  // Gives back count units (none when count is not positive); false when one could not be
  // given back.
  bool release(int count = 1);

 private:
  std::unique_ptr<RkSemaphoreH> m_handle;
};

class RKSimpleDBSem {
 public:
  // See RkSemaphore(int); throws the same way.
  explicit RKSimpleDBSem(int initialCount = 1);
  ~RKSimpleDBSem();
  RKSimpleDBSem(const RKSimpleDBSem&) = delete;
  RKSimpleDBSem& operator=(const RKSimpleDBSem&) = delete;

  bool wait();
  bool tryWait();
  // Gives back one unit, whatever count says.
  bool release(int count = 1);

 private:
  RkSemaphore m_semaphore;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RK_SEMAPHORE_H
