#include "db/rows/rk_semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/process/rk_semaphore_h.h"

namespace zarezodud {
namespace {

std::unique_ptr<RkSemaphoreH> failingFactory(unsigned) { return nullptr; }

// Makes every platform semaphore allocation fail for one scope.
class FailingAllocation {
 public:
  FailingAllocation() : m_previous(setRkSemaphoreHFactory(&failingFactory)) {}
  ~FailingAllocation() { setRkSemaphoreHFactory(m_previous); }

 private:
  RkSemaphoreHFactory m_previous;
};

TEST(RkSemaphore, CountsUnitsAndReleasesAsMany) {
  RkSemaphore semaphore(2);
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_FALSE(semaphore.tryWait());
  EXPECT_TRUE(semaphore.release(3));
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_FALSE(semaphore.tryWait());

  RkSemaphore empty(-4);  // a negative count starts empty
  EXPECT_FALSE(empty.tryWait());
}

TEST(RkSemaphore, SimpleDbSemReleasesOneUnitWhateverTheCount) {
  RKSimpleDBSem semaphore(1);
  ASSERT_TRUE(semaphore.wait());
  EXPECT_TRUE(semaphore.release(5));
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_FALSE(semaphore.tryWait());
  EXPECT_TRUE(semaphore.release(0));
  EXPECT_TRUE(semaphore.tryWait());
  EXPECT_FALSE(semaphore.tryWait());
}

TEST(RkSemaphore, WaitBlocksUntilAnotherThreadReleases) {
  RKSimpleDBSem semaphore(0);
  std::atomic<bool> passed{false};
  std::thread waiter([&] {
    semaphore.wait();
    passed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(passed.load());
  semaphore.release(1);
  waiter.join();
  EXPECT_TRUE(passed.load());
}

TEST(RkSemaphore, AllocationFailureThrowsTheMemoryMessage) {
  FailingAllocation failing;
  try {
    RKSimpleDBSem semaphore(1);
    FAIL() << "construction should have thrown";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Not enough memory to initialize RkSemaphore");
  }
}

TEST(RkSemaphore, FactoryIsRestored) {
  { FailingAllocation failing; }
  EXPECT_NO_THROW(RkSemaphore(1));
  EXPECT_EQ(setRkSemaphoreHFactory(nullptr), &createPosixSemaphore);
}

}  // namespace
}  // namespace zarezodud
