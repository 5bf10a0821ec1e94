#include "engine/script_position.h"

namespace {

// Length-prefixed, so that no name can make two positions collide.
void addPart(std::string& key, const std::string& text) {
  key += std::to_string(text.size());
  key += ':';
  key += text;
}

std::string ordinal(int n) {
  const int lastTwo = n % 100;
  const char* suffix = "th";
  if (lastTwo < 11 || lastTwo > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

std::string named(const std::string& name, int occurrence) {
  return occurrence > 1 ? name + " (" + ordinal(occurrence) + ")" : name;
}

}  // namespace

std::string ScriptPosition::key() const {
  std::string key;
  key.reserve(phase.size() + list.size() + entry.size() + 32);
  addPart(key, phase);
  for (const SubModule& sub : subModules) {
    addPart(key, sub.name);
    addPart(key, std::to_string(sub.occurrence));
  }
  addPart(key, std::to_string(stage));
  addPart(key, list);
  addPart(key, std::to_string(listOccurrence));
  addPart(key, entry);
  addPart(key, std::to_string(entryOccurrence));
  return key;
}

std::string ScriptPosition::describe() const {
  std::string text = phase;
  for (const SubModule& sub : subModules) text += " > " + named(sub.name, sub.occurrence);
  text += " > stage " + std::to_string(stage);
  text += " > list " + named(list, listOccurrence);
  text += " > " + named(entry, entryOccurrence);
  return text;
}

bool ScriptPosition::operator==(const ScriptPosition& other) const {
  return phase == other.phase && subModules == other.subModules && stage == other.stage &&
         list == other.list && listOccurrence == other.listOccurrence && entry == other.entry &&
         entryOccurrence == other.entryOccurrence;
}
