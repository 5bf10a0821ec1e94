#include "base/random_text.h"

#include <mutex>
#include <random>

namespace zarezodud {

std::string randomAlphanumeric(std::size_t count) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mutex mutex;
  static std::mt19937_64 generator = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
  std::string text(count, 'X');
  std::lock_guard<std::mutex> lock(mutex);
  for (char& c : text) c = kChars[pick(generator)];
  return text;
}

}  // namespace zarezodud
