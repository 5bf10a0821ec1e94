#include "platform/process/fx_critical_section.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zarezodud {
namespace {

TEST(FXCriticalSection, RecordsAndClearsTheOwner) {
  FXCriticalSection section;
  EXPECT_EQ(section.getOwner(), 0u);
  section.Lock();
  EXPECT_EQ(section.getOwner(), FXCriticalSection::currentThreadId());
  section.Lock();  // recursive
  section.Unlock();
  EXPECT_EQ(section.getOwner(), 0u);  // every Unlock clears the owner
  section.Unlock();
  EXPECT_EQ(section.getOwner(), 0u);
}

TEST(FXCriticalSection, HeldRecursivelyUntilTheLastUnlock) {
  FXCriticalSection section;
  section.Lock();
  section.Lock();
  section.Unlock();
  // Still held once; an Unlock from a thread that does not hold it must not release it.
  std::thread([&] { section.Unlock(); }).join();

  std::atomic<bool> entered{false};
  std::thread contender([&] {
    FXCriticalSectionLock hold(section);
    entered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  section.Unlock();
  contender.join();
  EXPECT_TRUE(entered.load());
}

TEST(FXCriticalSection, ExcludesOtherThreads) {
  FXCriticalSection section;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        FXCriticalSectionLock hold(section);
        long seen = counter;
        counter = seen + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(FXCriticalSection, UnlockWithoutLockChangesNothing) {
  FXCriticalSection section;
  section.Unlock();
  section.Lock();
  EXPECT_EQ(section.getOwner(), FXCriticalSection::currentThreadId());
  section.Unlock();
}

}  // namespace
}  // namespace zarezodud
