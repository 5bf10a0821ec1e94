// Deterministic script output files for the scanner benchmarks: the same bytes on every run
// and machine, so that figures from different runs compare.
//
// Thread-safety: pure functions.
#ifndef ZAREZODUD_BENCH_SCRIPT_OUTPUT_H
#define ZAREZODUD_BENCH_SCRIPT_OUTPUT_H

#include <cstdio>
#include <string>

namespace zbench {

// Small linear congruential generator: fixed seed, fixed sequence.
struct Lcg {
  unsigned long long state = 0x2545F4914F6CDD1Dull;
  unsigned next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>(state >> 33);
  }
};

inline std::string stamp(int i) {
  char text[32];
  std::snprintf(text, sizeof text, "12/%02d/26 %02d:%02d:%02d ", 1 + i % 28, (i / 3600) % 24, (i / 60) % 60,
                i % 60);
  return text;
}

// A mix like an upgrade script's output: mostly server chatter, some marked messages and
// tables of rows, a record and line tag on every record. The record prefix and tag that the
// connection service writes take ~90 bytes, so messages are short to keep ~100 bytes a record:
// 100,000 records make about 10 MB.
inline std::string makeScriptOutput(int records) {
  Lcg rng;
  std::string out;
  out.reserve(static_cast<std::size_t>(records) * 110);
  for (int i = 0; i < records; ++i) {
    std::string message;
    const unsigned pick = rng.next() % 100;
    const std::string n = std::to_string(i);
    if (pick < 60) {
      message = (i % 2 == 0) ? "Done." : "(1 row affected)";
    } else if (pick < 68) {
      message = "###ERROR### T" + n + " failed";
    } else if (pick < 76) {
      message = "###WARNING### IX" + n + " rebuilt";
    } else if (pick < 80) {
      message = "###ADVICE### Rerun job";
    } else if (pick < 84) {
      message = "###HEADER### Name:,:Rows\nx";
    } else if (pick < 98) {
      message = "###DATA### t" + n + ":,:" + std::to_string(rng.next() % 1000);
    } else {
      message = "###DESCRIPTION### Client tables";
    }
    out += stamp(i);
    out += pick < 60 ? "SQLState:[01000] NativeError:[0] Message:["
                     : "SQLState:[42000] NativeError:[50000] Message:[";
    out += message;
    out += "] [RecNum:" + std::to_string(1 + i % 7) + ", LineNum:" + std::to_string(i % 900) + "]\n";
  }
  return out;
}

}  // namespace zbench

#endif  // ZAREZODUD_BENCH_SCRIPT_OUTPUT_H
