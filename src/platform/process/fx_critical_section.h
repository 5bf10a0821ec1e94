// FXCriticalSection: the table framework's critical section, a recursive mutex (one that the
// holding thread may lock again) with an owner field naming the thread that last locked it.
// The mutex itself lives in the .cc so that no header above the platform layer sees it.
//
// Thread-safety: Lock and Unlock may be called from any thread; Unlock must come from the
// thread that locked. getOwner may be read from any thread (it is only informative).
#ifndef ZAREZODUD_PLATFORM_PROCESS_FX_CRITICAL_SECTION_H
#define ZAREZODUD_PLATFORM_PROCESS_FX_CRITICAL_SECTION_H

#include <atomic>
#include <cstdint>
#include <memory>

namespace zarezodud {

class FXCriticalSection {
 public:
  FXCriticalSection();
  ~FXCriticalSection();
  FXCriticalSection(const FXCriticalSection&) = delete;
  FXCriticalSection& operator=(const FXCriticalSection&) = delete;

  // Locks (again, when this thread already holds it) and records the calling thread as owner.
  // A failure of the mutex is swallowed: the owner is then not recorded and the section is
  // not held, and the matching Unlock does nothing.
  void Lock();
  // Clears the owner and unlocks one level. Does nothing when the calling thread does not
  // hold the section, so an Unlock after a failed Lock cannot release someone else's lock.
  void Unlock();

  // The owner recorded by the last Lock (the thread handle truncated to 32 bits); 0 after
  // Unlock and before the first Lock.
  std::uint32_t getOwner() const { return m_owner.load(); }

  // The calling thread's identifier as Lock records it.
  static std::uint32_t currentThreadId();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
  std::atomic<std::uint32_t> m_owner{0};
};

// Holds a critical section for one scope.
class FXCriticalSectionLock {
 public:
  explicit FXCriticalSectionLock(FXCriticalSection& section) : m_section(section) { m_section.Lock(); }
  ~FXCriticalSectionLock() { m_section.Unlock(); }
  FXCriticalSectionLock(const FXCriticalSectionLock&) = delete;
  FXCriticalSectionLock& operator=(const FXCriticalSectionLock&) = delete;

 private:
  FXCriticalSection& m_section;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_PROCESS_FX_CRITICAL_SECTION_H
