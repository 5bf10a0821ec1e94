// Peak resident memory and time of `zarezodud scan` on generated 10 MB and 100 MB script output
// files, XML and JSON output, against the file's size and against a read()-and-memchr pass over
// the same file measured in the same run.
//
// Each benchmark runs the command as a child process (standard output to /dev/null) and reads
// the child's peak resident set from wait4(). The kernel folds the peak of the spawning
// process's memory into the child's figure (posix_spawn shares it until exec), so this program
// stays small: the files are generated in a forked process that exits.
// Counters: file_MB, rss_MB (the child's peak resident set), rss_x (rss / file size, the figure
// that must stay at most 3), base_rss_MB (the command's peak on a one-record file: what the
// process costs before any input), x_read_memchr (wall time of the command / wall time of the
// read()-and-memchr pass).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "script_output.h"

extern char** environ;

namespace {

struct ChildRun {
  double seconds = 0;
  double rssBytes = 0;
};

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs the command in dir with standard output and error to /dev/null.
ChildRun runCommand(const std::string& dir, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  ChildRun run;
  const double t0 = now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  run.seconds = now() - t0;
  run.rssBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
  return run;
}

double readAndMemchrSeconds(const std::string& path) {
  static char block[65536];
  const double t0 = now();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::abort();
  std::size_t lines = 0;
  ssize_t got;
  while ((got = read(fd, block, sizeof block)) > 0) {
    const char* p = block;
    const char* end = block + got;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
           nullptr) {
      ++lines;
      ++p;
    }
  }
  close(fd);
  benchmark::DoNotOptimize(lines);
  return now() - t0;
}

struct Files {
  std::string dir;
  std::string small;  // one record
  std::string tenMB;
  std::string hundredMB;
  double baseRss = 0;

  Files() {
    char templ[] = "/tmp/zarezodud-scan-bench-XXXXXX";
    if (mkdtemp(templ) == nullptr) std::abort();
    dir = templ;
    small = dir + "/one.txt";
    tenMB = dir + "/ten.txt";
    hundredMB = dir + "/hundred.txt";
    const pid_t writer = fork();
    if (writer < 0) std::abort();
    if (writer == 0) {
      write(small, zbench::makeScriptOutput(1));
      write(tenMB, zbench::makeScriptOutput(100000));
      write(hundredMB, zbench::makeScriptOutput(1000000));
      _exit(0);
    }
    int status = 0;
    if (waitpid(writer, &status, 0) != writer || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    baseRss = runCommand(dir, {ZAREZODUD_CLI_PATH, "scan", small}).rssBytes;
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  static void write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
};

Files& files() {
  static Files f;
  return f;
}

void scanCommand(benchmark::State& state, bool hundred, bool json) {
  Files& f = files();
  const std::string& path = hundred ? f.hundredMB : f.tenMB;
  std::vector<std::string> args = {ZAREZODUD_CLI_PATH, "scan", path};
  if (json) args.push_back("--json");
  const double size = static_cast<double>(std::filesystem::file_size(path));
  double rss = 0, fastest = 1e9, baseline = 1e9;
  for (auto _ : state) {
    const ChildRun run = runCommand(f.dir, args);
    rss = std::max(rss, run.rssBytes);
    fastest = std::min(fastest, run.seconds);
    baseline = std::min(baseline, readAndMemchrSeconds(path));
  }
  state.counters["file_MB"] = size / 1e6;
  state.counters["rss_MB"] = rss / 1e6;
  state.counters["rss_x"] = rss / size;
  state.counters["base_rss_MB"] = f.baseRss / 1e6;
  state.counters["x_read_memchr"] = fastest / baseline;
}

void BM_ScanCommand10MBXml(benchmark::State& state) { scanCommand(state, false, false); }
void BM_ScanCommand10MBJson(benchmark::State& state) { scanCommand(state, false, true); }
void BM_ScanCommand100MBXml(benchmark::State& state) { scanCommand(state, true, false); }
void BM_ScanCommand100MBJson(benchmark::State& state) { scanCommand(state, true, true); }
BENCHMARK(BM_ScanCommand10MBXml)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanCommand10MBJson)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanCommand100MBXml)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ScanCommand100MBJson)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
