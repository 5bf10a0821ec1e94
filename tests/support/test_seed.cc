#include "support/test_seed.h"

#include <cstdlib>
#include <cstring>
#include <random>

namespace ztest {

unsigned testSeed(unsigned fixed) {
  const char* chosen = std::getenv("ZAREZODUD_TEST_SEED");
  if (chosen == nullptr || *chosen == '\0') return fixed;
  if (std::strcmp(chosen, "random") == 0) return static_cast<unsigned>(std::random_device{}());
  char* end = nullptr;
  const unsigned long value = std::strtoul(chosen, &end, 10);
  return end != nullptr && *end == '\0' ? static_cast<unsigned>(value) : fixed;
}

}  // namespace ztest
