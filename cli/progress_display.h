// ProgressDisplay: what run shows while scripts execute. On a terminal, one bar line
// rewritten in place (percentage, scripts done of total, current script, elapsed time);
// otherwise one plain line per finished or skipped script, fit for logs and pipes.
//
// Thread-safety: used from the engine's thread only.
#ifndef ZAREZODUD_CLI_PROGRESS_DISPLAY_H
#define ZAREZODUD_CLI_PROGRESS_DISPLAY_H

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace zcli {

class ProgressDisplay {
 public:
  // total may be 0 (unknown); done is the count already behind (a resumed run).
  ProgressDisplay(std::ostream& out, bool terminal, int64_t total, int64_t done);

  void scriptStarted(const std::string& path);
  void scriptEnded(const std::string& path, int code, bool succeeded, double seconds);
  void scriptSkipped(const std::string& path, const std::string& reason);
  // A script that finished in an earlier run: counted, not shown.
  void scriptDoneEarlier() { ++m_done; }
  // Ends the bar line on a terminal.
  void finish();

  int64_t done() const { return m_done; }

  // "[#####.....]  50%  5/10  name  00:01:05" for width-10 bars; exposed for tests.
  static std::string barLine(int64_t done, int64_t total, const std::string& current, int64_t elapsedSeconds);

 private:
  void drawBar(const std::string& current);
  std::string counter() const;

  std::ostream& m_out;
  bool m_terminal;
  int64_t m_total;
  int64_t m_done;
  std::chrono::steady_clock::time_point m_started;
};

}  // namespace zcli

#endif
