// InterruptSignals: SIGINT and SIGTERM sent to the process reach the handler in order instead
// of ending it; the second gives the earlier dispositions back so that a third ends the process;
// an ignored signal stays ignored; the calling thread's mask and the dispositions are restored
// afterwards; one object at a time.
#include "platform/process/interrupt_signals.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace zarezodud {
namespace {

// Keeps the handler calls; waits for them with a hang guard.
class Calls {
 public:
  InterruptSignals::Handler handler() {
    return [this](int signal, int count) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.emplace_back(signal, count);
      }
      m_changed.notify_all();
    };
  }
  std::vector<std::pair<int, int>> waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_calls.size() >= n; });
    return m_calls;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::pair<int, int>> m_calls;
};

void (*dispositionOf(int signal))(int) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

bool blockedHere(int signal) {
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  return sigismember(&mask, signal) == 1;
}

using Pairs = std::vector<std::pair<int, int>>;

TEST(InterruptSignalsTest, SignalsReachTheHandlerInOrderAndTheSecondGivesTheDefaultBack) {
  ASSERT_EQ(dispositionOf(SIGINT), SIG_DFL);
  ASSERT_FALSE(blockedHere(SIGINT));
  Calls calls;
  {
    InterruptSignals signals(calls.handler());
    ASSERT_TRUE(signals.active()) << signals.error();
    EXPECT_NE(dispositionOf(SIGINT), SIG_DFL);
    EXPECT_NE(dispositionOf(SIGTERM), SIG_DFL);
    // The work in progress, and threads it starts, never run the handler.
    EXPECT_TRUE(blockedHere(SIGINT));
    bool workerBlocked = false;
    std::thread([&] { workerBlocked = blockedHere(SIGTERM); }).join();
    EXPECT_TRUE(workerBlocked);

    ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
    EXPECT_EQ(calls.waitFor(1), (Pairs{{SIGINT, 1}}));
    EXPECT_NE(dispositionOf(SIGINT), SIG_DFL) << "the first signal keeps the handler";

    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    EXPECT_EQ(calls.waitFor(2), (Pairs{{SIGINT, 1}, {SIGTERM, 2}}));
    EXPECT_EQ(dispositionOf(SIGINT), SIG_DFL) << "after the second, the next signal ends the process";
    EXPECT_EQ(dispositionOf(SIGTERM), SIG_DFL);
  }
  EXPECT_EQ(dispositionOf(SIGINT), SIG_DFL);
  EXPECT_EQ(dispositionOf(SIGTERM), SIG_DFL);
  EXPECT_FALSE(blockedHere(SIGINT));
  EXPECT_FALSE(blockedHere(SIGTERM));
}

TEST(InterruptSignalsTest, AnIgnoredSignalStaysIgnoredAndTheOtherIsStillTaken) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGTERM, &ignore, &before), 0);
  Calls calls;
  {
    InterruptSignals signals(calls.handler());
    ASSERT_TRUE(signals.active()) << signals.error();
    EXPECT_EQ(dispositionOf(SIGTERM), SIG_IGN);
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // time to be taken, were it
    ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
    EXPECT_EQ(calls.waitFor(1), (Pairs{{SIGINT, 1}})) << "SIGTERM is not seen";
  }
  EXPECT_EQ(dispositionOf(SIGTERM), SIG_IGN);
  EXPECT_EQ(dispositionOf(SIGINT), SIG_DFL);
  sigaction(SIGTERM, &before, nullptr);
}

TEST(InterruptSignalsTest, OnlyOneObjectAtATimeAndAFreshOneStartsCountingAgain) {
  Calls first;
  {
    InterruptSignals signals(first.handler());
    ASSERT_TRUE(signals.active()) << signals.error();
    InterruptSignals second([](int, int) {});
    EXPECT_FALSE(second.active());
    EXPECT_NE(second.error(), "");
    ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
    EXPECT_EQ(first.waitFor(1), (Pairs{{SIGINT, 1}}));
  }
  Calls again;
  InterruptSignals signals(again.handler());
  ASSERT_TRUE(signals.active()) << signals.error();
  ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
  EXPECT_EQ(again.waitFor(1), (Pairs{{SIGINT, 1}}));
  EXPECT_NE(dispositionOf(SIGINT), SIG_DFL) << "the count of the earlier object does not carry over";
}

TEST(InterruptSignalsDeathTest, TheThirdSignalEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Calls calls;
        InterruptSignals signals(calls.handler());
        // Standard signals do not queue: each is sent once the one before has been taken.
        ::kill(::getpid(), SIGINT);
        if (calls.waitFor(1).size() != 1) ::_exit(3);
        ::kill(::getpid(), SIGINT);
        if (calls.waitFor(2).size() != 2) ::_exit(3);
        ::kill(::getpid(), SIGINT);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        ::_exit(4);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
}  // namespace zarezodud
