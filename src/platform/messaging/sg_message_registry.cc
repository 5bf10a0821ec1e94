#include "platform/messaging/sg_message_registry.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

namespace zarezodud {
namespace {

struct KindEntry {
  int group = 0;
  int kind = 0;
  SGMessageClass messageClass{nullptr, nullptr};
  std::vector<SGFieldSpec> fields;  // sorted by number
};

std::uint64_t keyOf(int group, int kind) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(group)) << 32) |
         static_cast<std::uint32_t>(kind);
}

// All registrations at one moment; never changed once published. The keys are kept apart
// from the entries so that a lookup reads one short array.
struct Snapshot {
  std::vector<std::uint64_t> keys;
  std::vector<KindEntry> entries;

  const KindEntry* find(int group, int kind) const {
    const std::uint64_t key = keyOf(group, kind);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == key) return &entries[i];
    }
    return nullptr;
  }
};

// Lookups read the current snapshot without a lock (records are made far more often than
// kinds are registered); a registration publishes a new snapshot and keeps the old ones, so
// that a reader still holding one is never left with freed memory.
class KindRegistry {
 public:
  static KindRegistry& instance() {
    static KindRegistry registry;
    return registry;
  }

  void add(KindEntry entry) {
    std::sort(entry.fields.begin(), entry.fields.end(),
              [](const SGFieldSpec& a, const SGFieldSpec& b) { return a.number < b.number; });
    std::lock_guard<std::mutex> lock(m_mutex);
    auto next = std::make_unique<Snapshot>();
    if (const Snapshot* current = m_current.load(std::memory_order_acquire)) *next = *current;
    const std::uint64_t key = keyOf(entry.group, entry.kind);
    auto it = std::find(next->keys.begin(), next->keys.end(), key);
    if (it != next->keys.end()) {
      next->entries[static_cast<std::size_t>(it - next->keys.begin())] = std::move(entry);
    } else {
      next->keys.push_back(key);
      next->entries.push_back(std::move(entry));
    }
    m_current.store(next.get(), std::memory_order_release);
    m_snapshots.push_back(std::move(next));
  }

  const KindEntry* find(int group, int kind) const {
    const Snapshot* current = m_current.load(std::memory_order_acquire);
    return current != nullptr ? current->find(group, kind) : nullptr;
  }

 private:
  std::mutex m_mutex;
  std::atomic<const Snapshot*> m_current{nullptr};
  std::vector<std::unique_ptr<Snapshot>> m_snapshots;  // every snapshot ever published
};

}  // namespace

void registerMessageKind(int group, int kind, SGMessageClass messageClass, std::vector<SGFieldSpec> fields) {
  KindEntry entry;
  entry.group = group;
  entry.kind = kind;
  entry.messageClass = messageClass;
  entry.fields = std::move(fields);
  KindRegistry::instance().add(std::move(entry));
}

SGMessageBase* placeMessage(void* storage, int group, int kind) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  if (entry != nullptr && entry->messageClass.place != nullptr) {
    SGMessageBase* made = entry->messageClass.place(storage);
    if (made->group() == group && made->kind() == kind) return made;
    made->~SGMessageBase();
  }
  return new (storage) SGMessageBase(group, kind);
}

std::unique_ptr<SGMessageBase> makeMessage(int group, int kind) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  if (entry != nullptr && entry->messageClass.make != nullptr) {
    std::unique_ptr<SGMessageBase> made(entry->messageClass.make());
    if (made->group() == group && made->kind() == kind) return made;
  }
  return std::make_unique<SGMessageBase>(group, kind);
}

std::optional<SGFieldSpec> declaredField(int group, int kind, int fieldNo) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  if (entry == nullptr) return std::nullopt;
  for (const SGFieldSpec& field : entry->fields) {
    if (field.number == fieldNo) return field;
  }
  return std::nullopt;
}

SGElementLayout elementLayout(int group, int kind) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  if (entry == nullptr) return SGElementLayout{nullptr, 0};
  return SGElementLayout{entry->messageClass.place, entry->fields.size()};
}

std::size_t declaredFieldCount(int group, int kind) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  return entry != nullptr ? entry->fields.size() : 0;
}

}  // namespace zarezodud
