#include "progress_display.h"

#include <cstdio>

namespace zcli {

namespace {
constexpr int kBarWidth = 30;
constexpr size_t kNameWidth = 40;

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, int64_t total, int64_t done)
    : m_out(out),
      m_terminal(terminal),
      m_total(total),
      m_done(done),
      m_started(std::chrono::steady_clock::now()) {}

std::string ProgressDisplay::barLine(int64_t done, int64_t total, const std::string& current,
                                     int64_t elapsedSeconds) {
  const int64_t shown = total > 0 && done > total ? total : done;
  const int percent = total > 0 ? static_cast<int>(shown * 100 / total) : 0;
  const int filled = total > 0 ? static_cast<int>(shown * kBarWidth / total) : 0;
  std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                    std::string(static_cast<size_t>(kBarWidth - filled), '.') + "]";
  std::string name = current;
  if (name.size() > kNameWidth) name = "..." + name.substr(name.size() - (kNameWidth - 3));
  char line[256];
  std::snprintf(line, sizeof line, "%s %3d%%  %lld/%lld  %-*s  %02lld:%02lld:%02lld", bar.c_str(), percent,
                static_cast<long long>(done), static_cast<long long>(total), static_cast<int>(kNameWidth),
                name.c_str(), static_cast<long long>(elapsedSeconds / 3600),
                static_cast<long long>(elapsedSeconds / 60 % 60),
                static_cast<long long>(elapsedSeconds % 60));
  return line;
}

void ProgressDisplay::drawBar(const std::string& current) {
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_started).count();
  m_out << "\r\033[K" << barLine(m_done, m_total, current, elapsed) << std::flush;
}

std::string ProgressDisplay::counter() const {
  return "[" + std::to_string(m_done) + "/" + std::to_string(m_total) + "]";
}

void ProgressDisplay::scriptStarted(const std::string& path) {
  if (m_terminal) drawBar(baseName(path));
}

void ProgressDisplay::scriptEnded(const std::string& path, int code, bool succeeded, double seconds) {
  ++m_done;
  if (m_terminal) {
    if (!succeeded) m_out << "\r\033[Kfailed: " << path << " (code " << code << ")\n";
    drawBar(baseName(path));
    return;
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, " code %d, %.2fs", code, seconds);
  m_out << counter() << (succeeded ? " done   " : " FAILED ") << path << tail << "\n" << std::flush;
}

void ProgressDisplay::scriptSkipped(const std::string& path, const std::string& reason) {
  ++m_done;
  if (m_terminal) {
    drawBar(baseName(path));
    return;
  }
  m_out << counter() << " skipped " << path << " (" << reason << ")\n" << std::flush;
}

void ProgressDisplay::finish() {
  if (m_terminal) m_out << "\n" << std::flush;
}

}  // namespace zcli
