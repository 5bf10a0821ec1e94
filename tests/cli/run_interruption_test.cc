// RunInterruption with substitute actions: the first signal while the phase runs asks for the
// stop once and cancels again and again until the phase ends, and never after; a second signal
// changes nothing but the notice; a signal after the phase ended interrupts nothing.
#include "run_interruption.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zcli {
namespace {

using Clock = std::chrono::steady_clock;

// What the actions were asked to do, and the notices written to a pipe.
class Recorder {
 public:
  Recorder() { EXPECT_EQ(::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK), 0); }
  ~Recorder() {
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
  }
  RunInterruption::Actions actions() {
    return {[this](const std::string& reason) {
              std::lock_guard<std::mutex> lock(m_mutex);
              m_stops.push_back(reason);
            },
            [this] { ++m_cancels; }};
  }
  int messageFd() const { return m_pipe[1]; }
  std::vector<std::string> stops() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stops;
  }
  int cancels() const { return m_cancels.load(); }
  // Reads notices until text appears (or 5 s passed); returns all read so far.
  std::string noticesUntil(const std::string& text) {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (m_notices.find(text) == std::string::npos && Clock::now() < until) {
      struct pollfd ready {};
      ready.fd = m_pipe[0];
      ready.events = POLLIN;
      if (::poll(&ready, 1, 50) <= 0) continue;
      char buffer[512];
      const ssize_t got = ::read(m_pipe[0], buffer, sizeof buffer);
      if (got > 0) m_notices.append(buffer, static_cast<size_t>(got));
    }
    return m_notices;
  }

 private:
  int m_pipe[2] = {-1, -1};
  std::mutex m_mutex;
  std::vector<std::string> m_stops;
  std::atomic<int> m_cancels{0};
  std::string m_notices;
};

bool waitUntil(const std::function<bool()>& condition) {
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!condition() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return condition();
}

TEST(RunInterruptionTest, FirstSignalStopsOnceAndCancelsUntilThePhaseEnds) {
  Recorder recorder;
  RunInterruption interruption(recorder.actions(), recorder.messageFd(), false);
  ASSERT_TRUE(interruption.active()) << interruption.error();
  EXPECT_EQ(interruption.signal(), 0);
  std::this_thread::sleep_for(3 * RunInterruption::kCancelInterval);
  EXPECT_EQ(recorder.cancels(), 0) << "nothing is cancelled before a signal";

  ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
  // A cancel that found no batch is repeated: the next batch must not run to its end.
  ASSERT_TRUE(waitUntil([&] { return recorder.cancels() >= 3; })) << recorder.cancels();
  EXPECT_EQ(recorder.stops(), std::vector<std::string>{"interrupted by SIGINT"});
  EXPECT_EQ(interruption.signal(), SIGINT);
  EXPECT_NE(recorder.noticesUntil("interrupted (SIGINT)")
                .find("interrupted (SIGINT): cancelling the running "
                      "script"),
            std::string::npos);

  // A second signal is only acknowledged.
  ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
  EXPECT_NE(recorder.noticesUntil("still stopping").find("still stopping (SIGTERM)"), std::string::npos);
  EXPECT_EQ(recorder.stops().size(), 1u);
  EXPECT_EQ(interruption.signal(), SIGINT);

  interruption.phaseEnded();
  const int cancelsAtEnd = recorder.cancels();
  std::this_thread::sleep_for(3 * RunInterruption::kCancelInterval);
  EXPECT_EQ(recorder.cancels(), cancelsAtEnd) << "no cancel after the phase ended";
}

TEST(RunInterruptionTest, SignalAfterThePhaseEndedInterruptsNothing) {
  Recorder recorder;
  {
    RunInterruption interruption(recorder.actions(), recorder.messageFd(), true);
    ASSERT_TRUE(interruption.active()) << interruption.error();
    interruption.phaseEnded();
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    const std::string notices = recorder.noticesUntil("after the phase ended");
    EXPECT_EQ(notices.rfind("\nzarezodud: SIGTERM received after the phase ended", 0), 0u) << notices;
    EXPECT_EQ(interruption.signal(), 0);
  }
  EXPECT_TRUE(recorder.stops().empty());
  EXPECT_EQ(recorder.cancels(), 0);
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL) << "the signals are given back";
}

}  // namespace
}  // namespace zcli
