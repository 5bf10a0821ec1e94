#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/messaging/sg_message_base.h"
#include "platform/messaging/sg_message_fields.h"
#include "platform/messaging/sg_message_registry.h"

namespace {

// Records the first block holds; every further block holds twice as many as the one before.
constexpr std::size_t kFirstBlockRecords = 2;

// Where record `index` lies: block k = floor(log2(index / 2 + 1)), which holds 2 << k records
// starting at record 2 * (2^k - 1).
struct BlockPosition {
  std::size_t block;
  std::size_t offset;
  std::size_t capacity;
};

BlockPosition blockPosition(std::size_t index) {
  static_assert(kFirstBlockRecords == 2, "the arithmetic below counts from blocks of 2");
  const auto k = static_cast<std::size_t>(63 - __builtin_clzll(index / 2 + 1));
  const std::size_t first = 2 * ((std::size_t{1} << k) - 1);
  return BlockPosition{k, index - first, std::size_t{2} << k};
}

constexpr std::size_t roundUp(std::size_t bytes, std::size_t alignment) {
  return (bytes + alignment - 1) / alignment * alignment;
}

// Where a list made by newList ends and the storage for its first records starts.
constexpr std::size_t kListHead = roundUp(sizeof(SGMessageList), alignof(std::max_align_t));

}  // namespace

SGMessageList* SGMessageAccess::newList(bool restricted, int group, int kind) {
  SGMessageList shape;
  if (restricted) shape.restrict(group, kind);
  const std::size_t tail = kFirstBlockRecords * shape.m_slotSize;
  auto* storage = static_cast<unsigned char*>(::operator new(kListHead + tail));
  SGMessageList* list = new (storage) SGMessageList;
  list->m_slotSize = shape.m_slotSize;
  list->m_slotFields = shape.m_slotFields;
  list->m_hasElementKind = shape.m_hasElementKind;
  list->m_elementGroup = shape.m_elementGroup;
  list->m_elementKind = shape.m_elementKind;
  list->m_placeElement = shape.m_placeElement;
  list->m_tailBytes = static_cast<std::uint32_t>(tail);
  return list;
}

unsigned char* SGMessageList::tail() const {
  return m_tailBytes == 0 ? nullptr
                          : reinterpret_cast<unsigned char*>(const_cast<SGMessageList*>(this)) + kListHead;
}

SGMessageList* SGMessageAccess::copyList(const SGMessageList& list) {
  std::unique_ptr<SGMessageList> copy(
      newList(list.m_hasElementKind, list.m_elementGroup, list.m_elementKind));
  // The copy's slots keep the source's layout, whatever the registration says today (the
  // first block goes into the copy's own storage only if it still fits there).
  copy->m_slotSize = list.m_slotSize;
  copy->m_slotFields = list.m_slotFields;
  // The copy is new: nothing in list can lie inside it, so records are copied straight in.
  for (std::size_t i = 0; i < list.m_size; ++i) {
    const SGMessageBase& item = list.at(i);
    *copy->place(item.group(), item.kind()) = item;
  }
  return copy.release();
}

void SGMessageList::operator delete(void* list) noexcept { ::operator delete(list); }

SGMessageList::SGMessageList() noexcept = default;

SGMessageList::SGMessageList(const SGMessageList& other)
    : m_slotSize(other.m_slotSize),
      m_slotFields(other.m_slotFields),
      m_hasElementKind(other.m_hasElementKind),
      m_elementGroup(other.m_elementGroup),
      m_elementKind(other.m_elementKind),
      m_placeElement(other.m_placeElement) {
  try {
    for (std::size_t i = 0; i < other.m_size; ++i) {
      const SGMessageBase& item = other.at(i);
      *place(item.group(), item.kind()) = item;
    }
  } catch (...) {
    clear();
    throw;
  }
}

SGMessageList& SGMessageList::operator=(const SGMessageList& other) {
  if (this != &other) {
    // Copy first: other may be nested inside one of this list's records.
    SGMessageList copy(other);
    clear();
    m_slotSize = copy.m_slotSize;
    m_slotFields = copy.m_slotFields;
    m_hasElementKind = copy.m_hasElementKind;
    m_elementGroup = copy.m_elementGroup;
    m_elementKind = copy.m_elementKind;
    m_placeElement = copy.m_placeElement;
    for (std::size_t i = 0; i < copy.m_size; ++i) {
      SGMessageBase& item = copy.at(i);
      *place(item.group(), item.kind()) = std::move(item);
    }
  }
  return *this;
}

SGMessageList::~SGMessageList() { clear(); }

void SGMessageList::restrict(int group, int kind) {
  m_hasElementKind = true;
  m_elementGroup = group;
  m_elementKind = kind;
  const zarezodud::SGElementLayout layout = zarezodud::elementLayout(group, kind);
  m_placeElement = layout.place;
  if (m_size != 0) return;
  // Room in every slot for the fields the kind declares: a record and its fields lie together.
  m_slotFields = static_cast<std::uint32_t>(layout.fieldCount);
  m_slotSize = sizeof(SGMessageBase);
  if (m_slotFields > 0) {
    m_slotSize = roundUp(sizeof(SGMessageBase), alignof(SGMessageBase::Fields)) +
                 SGMessageBase::Fields::bytesFor(m_slotFields);
    m_slotSize = roundUp(m_slotSize, alignof(SGMessageBase));
  }
}

SGMessageBase* SGMessageList::slot(std::size_t index) const {
  const BlockPosition at = blockPosition(index);
  void* block = at.block < kNearBlocks ? m_nearBlocks[at.block] : m_farBlocks[at.block];
  return reinterpret_cast<SGMessageBase*>(static_cast<unsigned char*>(block) + at.offset * m_slotSize);
}

SGMessageBase& SGMessageList::at(std::size_t index) {
  if (index >= m_size) throw std::out_of_range("SGMessageList::at");
  return *slot(index);
}

const SGMessageBase& SGMessageList::at(std::size_t index) const {
  if (index >= m_size) throw std::out_of_range("SGMessageList::at");
  return *slot(index);
}

unsigned char* SGMessageList::nextSlot() {
  const BlockPosition at = blockPosition(m_size);
  if (at.block >= kMaxBlocks) throw std::length_error("SGMessageList: too many records");
  void** block = nullptr;
  if (at.block < kNearBlocks) {
    block = &m_nearBlocks[at.block];
  } else {
    if (m_farBlocks == nullptr) m_farBlocks = new void*[kMaxBlocks]();
    block = &m_farBlocks[at.block];
  }
  if (at.offset == 0) {
    // The first block goes into the storage allocated with the list when it fits there;
    // operator new aligns for every fundamental type, SGMessageBase included.
    const std::size_t bytes = at.capacity * m_slotSize;
    *block = at.block == 0 && bytes <= m_tailBytes ? tail() : ::operator new(bytes);
  }
  return static_cast<unsigned char*>(*block) + at.offset * m_slotSize;
}

SGMessageBase* SGMessageList::place(int group, int kind) {
  unsigned char* storage = nextSlot();
  SGMessageBase* made = nullptr;
  if (m_placeElement != nullptr && group == m_elementGroup && kind == m_elementKind) {
    made = m_placeElement(storage);
    if (made->group() != group || made->kind() != kind) {
      made->~SGMessageBase();
      made = new (storage) SGMessageBase(group, kind);
    }
  } else {
    made = zarezodud::placeMessage(storage, group, kind);
  }
  if (m_slotFields > 0) {
    void* fields = storage + roundUp(sizeof(SGMessageBase), alignof(SGMessageBase::Fields));
    SGMessageAccess::fields(*made) = SGMessageBase::Fields::createIn(fields, m_slotFields);
  }
  ++m_size;
  return made;
}

bool SGMessageList::accepts(const SGMessageBase& record) const {
  return !m_hasElementKind || (record.group() == m_elementGroup && record.kind() == m_elementKind);
}

SGMessageBase* SGMessageList::append(const SGMessageBase& record) {
  if (!accepts(record)) return nullptr;
  // The record may be one of this list's own: stored records never move, so it stays valid
  // while the new one is made.
  SGMessageBase* stored = place(record.group(), record.kind());
  try {
    *stored = record;
  } catch (...) {
    --m_size;
    stored->~SGMessageBase();
    throw;
  }
  return stored;
}

SGMessageBase* SGMessageList::append(SGMessageBase&& record) {
  if (!accepts(record)) return nullptr;
  SGMessageBase* stored = place(record.group(), record.kind());
  try {
    *stored = std::move(record);
  } catch (...) {
    --m_size;
    stored->~SGMessageBase();
    throw;
  }
  return stored;
}

void SGMessageList::clear() {
  // The records last first (memory goes back in the reverse of the order it was taken),
  // block by block, then the blocks.
  if (m_size > 0) {
    const BlockPosition last = blockPosition(m_size - 1);
    std::size_t count = last.offset + 1;
    for (std::size_t k = last.block + 1; k-- > 0;) {
      auto* block = static_cast<unsigned char*>(k < kNearBlocks ? m_nearBlocks[k] : m_farBlocks[k]);
      for (std::size_t i = count; i-- > 0;)
        reinterpret_cast<SGMessageBase*>(block + i * m_slotSize)->~SGMessageBase();
      count = k > 0 ? kFirstBlockRecords << (k - 1) : 0;
    }
  }
  m_size = 0;
  unsigned char* const own = tail();
  for (void*& block : m_nearBlocks) {
    if (block != own) ::operator delete(block);
    block = nullptr;
  }
  if (m_farBlocks != nullptr) {
    for (std::size_t k = kNearBlocks; k < kMaxBlocks; ++k) ::operator delete(m_farBlocks[k]);
    delete[] m_farBlocks;
    m_farBlocks = nullptr;
  }
}
