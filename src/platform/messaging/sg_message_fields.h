// The storage behind SGMessageBase, for the messaging files only (sg_message_*.cc):
//
// - SharedText::Block: an immutable, reference-counted text buffer;
// - SGText: one string value, its bytes held inline when short, else viewed in a block
//   (a block of its own, or a part of a buffer shared with other fields);
// - SGField: one field of a message (number, type, value);
// - SGMessageBase::Fields: all fields of one message in one allocation, ordered by number;
// - SGMessageAccess: the way in to the private parts of messages, lists and shared text.
//
// Thread-safety: as SGMessageBase. A block's count is atomic, everything else belongs to the
// message that holds it.
#ifndef ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_FIELDS_H
#define ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_FIELDS_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/messaging/sg_message_base.h"
#include "platform/messaging/sg_message_registry.h"

struct SGMessageBase::SharedText::Block {
  std::atomic<std::size_t> refs{1};
  std::string holder;  // the adopted text, when the block was made from a string
  const char* data = nullptr;
  std::size_t size = 0;

  // A block holding text without copying its bytes; count 1.
  static Block* adopt(std::string text);
  // A block holding a copy of text; count 1.
  static Block* copyOf(std::string_view text);
  static void retain(Block* block) noexcept { block->refs.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; the last one frees the block.
  static void release(Block* block) noexcept;

  std::string_view view() const noexcept { return std::string_view(data, size); }
  bool contains(std::string_view part) const noexcept {
    return part.data() >= data && part.size() <= size &&
           static_cast<std::size_t>(part.data() - data) <= size - part.size();
  }
};

// One string value. Copying shares a block (no bytes copied); the bytes never change once
// stored, so sharing is safe.
class SGText {
 public:
  using Block = SGMessageBase::SharedText::Block;
  // Texts up to this length are held inline, without a block.
  static constexpr std::size_t kInlineSize = 23;

  SGText() noexcept { m_raw[kTag] = 0; }
  SGText(const SGText& other) noexcept;
  SGText(SGText&& other) noexcept;
  SGText& operator=(const SGText& other) noexcept;
  SGText& operator=(SGText&& other) noexcept;
  ~SGText() {
    if (!isInline()) Block::release(block());
  }

  std::string_view view() const noexcept {
    if (isInline()) return std::string_view(reinterpret_cast<const char*>(m_raw), m_raw[kTag]);
    return std::string_view(sharedData(), sharedSize());
  }
  // Holds a copy of text (text may view this value itself).
  void assign(std::string_view text);
  // Holds part of block: viewed in place when long, copied inline when short. Precondition:
  // block->contains(part).
  void share(Block* block, std::string_view part);
  void clear() noexcept;
  // True when the text is held inline (its destruction releases nothing).
  bool ownsNothing() const noexcept { return isInline(); }

 private:
  // Inline: the bytes from m_raw[0], their count in m_raw[kTag]. Shared: m_raw[kTag] is kShared,
  // the data pointer at 0, the block pointer at 8 and the size in the 7 bytes from 16.
  static constexpr std::size_t kTag = 23;
  static constexpr unsigned char kShared = 0x80;

  bool isInline() const noexcept { return m_raw[kTag] < kShared; }
  const char* sharedData() const noexcept;
  Block* block() const noexcept;
  std::size_t sharedSize() const noexcept;
  void setShared(const char* data, std::size_t size, Block* block) noexcept;

  alignas(8) unsigned char m_raw[24];
};

// One field of a message. The value lives in a union whose member in use follows from the
// type: integer, text (a string, or box once the string was handed out by reference), object
// or list.
struct SGField {
  int number;
  zarezodud::SGFieldType type = zarezodud::SGFieldType::kInt64;
  bool boxed = false;  // a string field whose text lives in *box
  union {
    int64_t integer;
    SGText text;            // a string field's text while not boxed
    std::string* box;       // owned, while boxed
    SGMessageBase* object;  // owned, never null for an object field
    SGMessageList* list;    // owned, never null for a list field
  };

  explicit SGField(int fieldNumber) noexcept : number(fieldNumber), integer(0) {}
  // Copies the value: nested records and lists are copied, shared text stays shared.
  SGField(const SGField& other);
  SGField(SGField&& other) noexcept;
  SGField& operator=(const SGField&) = delete;
  SGField& operator=(SGField&&) = delete;
  ~SGField() {
    // Integers and inline text own nothing: most fields need no call to go.
    if (type == zarezodud::SGFieldType::kInt64 ||
        (type == zarezodud::SGFieldType::kString && !boxed && text.ownsNothing())) {
      return;
    }
    releaseValue();
  }

  // A string field's text.
  std::string_view textView() const noexcept { return boxed ? std::string_view(*box) : text.view(); }

  // Replace the value; each leaves the field of the type named.
  void setInteger(int64_t value) noexcept;
  void setText(std::string_view value);
  void setSharedText(SGMessageBase::SharedText::Block* block, std::string_view part);
  // Takes record over as the field's nested record.
  void setObject(SGMessageBase* record) noexcept;
  void setList(SGMessageList* newList) noexcept;
  // The string to change in place; boxes the text first.
  std::string& boxedText();

 private:
  // Frees the nested record, list or box and the text; the field is left an integer 0.
  void releaseValue() noexcept;
  // Makes the field a string holding fresh (the old value released).
  void becomeText(SGText&& fresh) noexcept;
};

// The fields of one message, ordered by number, in one block: this header followed by
// capacity slots of which the first count hold fields. A block is either allocated for its
// message (and freed with it) or borrowed: part of a list slot, next to its message, and never
// freed on its own. A borrowed block is never handed to another message; its fields are moved.
struct alignas(SGField) SGMessageBase::Fields {
  std::uint32_t count = 0;
  std::uint32_t capacity = 0;
  bool borrowed = false;

  SGField* begin() noexcept { return reinterpret_cast<SGField*>(this + 1); }
  SGField* end() noexcept { return begin() + count; }
  const SGField* begin() const noexcept { return reinterpret_cast<const SGField*>(this + 1); }
  const SGField* end() const noexcept { return begin() + count; }

  // Bytes a block with room for capacity fields takes.
  static std::size_t bytesFor(std::uint32_t capacity) { return sizeof(Fields) + capacity * sizeof(SGField); }
  // An empty allocated block with room for capacity fields (at least 1).
  static Fields* create(std::uint32_t capacity);
  // An empty borrowed block in storage of bytesFor(capacity) bytes.
  static Fields* createIn(void* storage, std::uint32_t capacity) noexcept;
  // Destroys the fields and, unless borrowed, frees the block; null is allowed.
  static void destroy(Fields* fields) noexcept;
  // Destroys the fields; an allocated block is freed (fields becomes null), a borrowed one
  // stays, empty.
  static void clear(Fields*& fields) noexcept;
  // A copy of fields (see SGField's copy) in an allocated block with room for exactly its
  // fields; null for null or no fields.
  static Fields* clone(const Fields* fields);

  // target's fields become copies of source's (target and source are different messages'
  // blocks; source may lie inside one of target's fields).
  static void assignCopy(Fields*& target, const Fields* source);
  // target's fields become source's, taken over: an allocated source block is handed over or
  // emptied into target's borrowed block, a borrowed one is emptied; source is left without
  // fields (null, or its borrowed block empty). source may lie inside one of target's fields.
  static void assignMove(Fields*& target, Fields*& source);

  // The field with this number, or null.
  SGField* find(int number) noexcept {
    for (SGField& field : *this) {
      if (field.number == number) return &field;
      if (field.number > number) break;
    }
    return nullptr;
  }
  const SGField* find(int number) const noexcept { return const_cast<Fields*>(this)->find(number); }
  // The field with this number, added in order (an integer 0) when absent. May move the
  // fields to a new block (fields is updated; pointers to fields, not to what they own, are
  // invalidated).
  static SGField& obtain(Fields*& fields, int number) {
    if (fields != nullptr) {
      // The usual cases: the field is there, or it comes after the others and there is room.
      if (SGField* field = fields->find(number)) return *field;
      if (fields->count < fields->capacity && (fields->count == 0 || fields->end()[-1].number < number)) {
        SGField* added = new (fields->end()) SGField(number);
        ++fields->count;
        return *added;
      }
    }
    return obtainInOrder(fields, number);
  }
  // Removes the field with this number; nothing when absent.
  void erase(int number) noexcept;

 private:
  // obtain's general case: the field inserted in order, the block grown when full.
  static SGField& obtainInOrder(Fields*& fields, int number);
  // Moves every field of from into to, which must be empty with room for them; from is left
  // empty.
  static void moveAll(Fields* from, Fields* to) noexcept;
};

static_assert(sizeof(SGMessageBase::Fields) % alignof(SGField) == 0, "fields follow the header aligned");
static_assert(sizeof(SGText) == 24 && sizeof(SGField) == 32, "a field takes 32 bytes");

// The private parts of messages, lists and shared text, for the messaging files.
struct SGMessageAccess {
  static SGMessageBase::Fields* fields(const SGMessageBase& message) { return message.m_fields; }
  static SGMessageBase::Fields*& fields(SGMessageBase& message) { return message.m_fields; }
  // The field with this number, added when absent (see SGMessageBase::Fields::obtain).
  static SGField& field(SGMessageBase& message, int number);
  // A new empty list, restricted to (group, kind) when restricted, allocated together with
  // room for its first records; released by delete.
  static SGMessageList* newList(bool restricted, int group, int kind);
  // A new copy of list, allocated as newList does.
  static SGMessageList* copyList(const SGMessageList& list);
  static SGMessageBase::SharedText::Block* block(const SGMessageBase::SharedText& text) {
    return text.m_block;
  }
};

namespace zarezodud {

// A copy of record of its registered class, owned by the caller.
SGMessageBase* cloneMessage(const SGMessageBase& record);

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_FIELDS_H
