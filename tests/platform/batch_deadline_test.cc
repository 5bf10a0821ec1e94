// BatchDeadline: the expiry action runs once when an armed deadline passes, never after a
// disarm, and disarm() reports whether it ran.
#include "platform/odbc/batch_deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace zarezodud {
namespace {

using std::chrono::milliseconds;

TEST(BatchDeadlineTest, ExpiresOnceWhenArmedAndNeverAfterDisarm) {
  std::atomic<int> fired{0};
  BatchDeadline deadline([&] { ++fired; });

  deadline.arm(milliseconds(20));
  const auto waitUntil = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (fired == 0 && std::chrono::steady_clock::now() < waitUntil)
    std::this_thread::sleep_for(milliseconds(5));
  EXPECT_EQ(fired, 1);
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(fired, 1) << "one expiry per arm";
  EXPECT_TRUE(deadline.disarm());

  deadline.arm(std::chrono::seconds(30));
  EXPECT_FALSE(deadline.disarm());
  deadline.arm(milliseconds(30));
  deadline.arm(std::chrono::seconds(30));  // re-arming replaces the earlier deadline
  std::this_thread::sleep_for(milliseconds(80));
  EXPECT_FALSE(deadline.disarm());
  EXPECT_EQ(fired, 1);
}

TEST(BatchDeadlineTest, DestroyingAnArmedDeadlineDoesNotRunTheAction) {
  std::atomic<int> fired{0};
  const auto start = std::chrono::steady_clock::now();
  {
    BatchDeadline deadline([&] { ++fired; });
    deadline.arm(std::chrono::seconds(60));
  }
  EXPECT_EQ(fired, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the thread ends at once";
}

}  // namespace
}  // namespace zarezodud
