// OccurrenceCounter: numbers the occurrences of names met one after another (1 for the first
// time a name is met, 2 for the second, ...), as script positions count sub-modules, lists and
// list entries. Processing and the phase walk share it so that both number alike.
//
// Thread-safety: plain value.
#ifndef ZAREZODUD_ENGINE_OCCURRENCE_COUNTER_H
#define ZAREZODUD_ENGINE_OCCURRENCE_COUNTER_H

#include <string>
#include <unordered_map>

namespace zarezodud {

class OccurrenceCounter {
 public:
  // The occurrence number of this meeting of name.
  int next(const std::string& name) { return ++m_counts[name]; }

 private:
  std::unordered_map<std::string, int> m_counts;
};

}  // namespace zarezodud

#endif
