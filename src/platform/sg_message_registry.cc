#include "platform/sg_message_registry.h"

#include <algorithm>
#include <atomic>
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

// All registrations at one moment, sorted by (group, kind); never changed once published.
struct Snapshot {
  std::vector<KindEntry> entries;

  const KindEntry* find(int group, int kind) const {
    auto it = std::lower_bound(entries.begin(), entries.end(), std::make_pair(group, kind),
                               [](const KindEntry& e, const std::pair<int, int>& key) {
                                 return std::make_pair(e.group, e.kind) < key;
                               });
    return it != entries.end() && it->group == group && it->kind == kind ? &*it : nullptr;
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
    if (const Snapshot* current = m_current.load(std::memory_order_acquire)) next->entries = current->entries;
    auto& entries = next->entries;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const KindEntry& e) {
      return e.group == entry.group && e.kind == entry.kind;
    });
    if (it != entries.end()) {
      *it = std::move(entry);
    } else {
      entries.push_back(std::move(entry));
      std::sort(entries.begin(), entries.end(), [](const KindEntry& a, const KindEntry& b) {
        return std::make_pair(a.group, a.kind) < std::make_pair(b.group, b.kind);
      });
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
  return ::new (storage) SGMessageBase(group, kind);
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

std::size_t declaredFieldCount(int group, int kind) {
  const KindEntry* entry = KindRegistry::instance().find(group, kind);
  return entry != nullptr ? entry->fields.size() : 0;
}

}  // namespace zarezodud
