#include <new>
#include <stdexcept>
#include <utility>

#include "platform/sg_message_base.h"
#include "platform/sg_message_fields.h"
#include "platform/sg_message_registry.h"

namespace {

constexpr std::size_t kRecordSize = sizeof(SGMessageBase);

// Where record `index` (index >= the inline records) lives: its block and its place in it.
// Block k (k >= 1) holds 4 * 2^(k-1) records, starting at record 4 * 2^(k-1).
struct BlockPosition {
  std::size_t block;
  std::size_t offset;
  std::size_t capacity;
};

BlockPosition blockPosition(std::size_t index, std::size_t inlineItems) {
  const std::size_t quarter = index / inlineItems;  // >= 1
  const std::size_t k = static_cast<std::size_t>(64 - __builtin_clzll(quarter));
  const std::size_t first = inlineItems << (k - 1);
  return BlockPosition{k, index - first, first};
}

}  // namespace

SGMessageList::SGMessageList() noexcept = default;

SGMessageList::SGMessageList(const SGMessageList& other)
    : m_hasElementKind(other.m_hasElementKind),
      m_elementGroup(other.m_elementGroup),
      m_elementKind(other.m_elementKind) {
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
    for (std::size_t i = 0; i < copy.m_size; ++i) {
      SGMessageBase& item = copy.at(i);
      *place(item.group(), item.kind()) = std::move(item);
    }
    m_hasElementKind = copy.m_hasElementKind;
    m_elementGroup = copy.m_elementGroup;
    m_elementKind = copy.m_elementKind;
  }
  return *this;
}

SGMessageList::~SGMessageList() { clear(); }

SGMessageBase* SGMessageList::slot(std::size_t index) const {
  if (index < kInlineItems) {
    return reinterpret_cast<SGMessageBase*>(const_cast<unsigned char*>(m_inline) + index * kRecordSize);
  }
  const BlockPosition at = blockPosition(index, kInlineItems);
  return reinterpret_cast<SGMessageBase*>(static_cast<unsigned char*>(m_blocks[at.block]) +
                                          at.offset * kRecordSize);
}

SGMessageBase& SGMessageList::at(std::size_t index) {
  if (index >= m_size) throw std::out_of_range("SGMessageList::at");
  return *slot(index);
}

const SGMessageBase& SGMessageList::at(std::size_t index) const {
  if (index >= m_size) throw std::out_of_range("SGMessageList::at");
  return *slot(index);
}

void* SGMessageList::nextSlot() {
  if (m_size < kInlineItems) return m_inline + m_size * kRecordSize;
  const BlockPosition at = blockPosition(m_size, kInlineItems);
  if (at.block >= kMaxBlocks) throw std::length_error("SGMessageList: too many records");
  if (m_blocks == nullptr) m_blocks = new void*[kMaxBlocks]();
  if (at.offset == 0) {
    // operator new aligns for every fundamental type, SGMessageBase included.
    m_blocks[at.block] = ::operator new(at.capacity* kRecordSize);
  }
  return static_cast<unsigned char*>(m_blocks[at.block]) + at.offset * kRecordSize;
}

SGMessageBase* SGMessageList::place(int group, int kind) {
  SGMessageBase* made = zarezodud::placeMessage(nextSlot(), group, kind);
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
  *stored = std::move(record);
  return stored;
}

void SGMessageList::clear() {
  // Last record first, then the blocks.
  for (std::size_t i = m_size; i > 0; --i) slot(i - 1)->~SGMessageBase();
  m_size = 0;
  if (m_blocks != nullptr) {
    for (std::size_t k = 0; k < kMaxBlocks; ++k) ::operator delete(m_blocks[k]);
    delete[] m_blocks;
    m_blocks = nullptr;
  }
}
