#include "platform/messaging/sg_message_fields.h"

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

using zarezodud::SGFieldType;
using Block = SGMessageBase::SharedText::Block;

// --- shared text -----------------------------------------------------------------------------

Block* Block::adopt(std::string text) {
  Block* block = new (::operator new(sizeof(Block))) Block;
  block->holder = std::move(text);
  block->data = block->holder.data();
  block->size = block->holder.size();
  return block;
}

Block* Block::copyOf(std::string_view text) {
  // One allocation: the bytes follow the block.
  void* storage = ::operator new(sizeof(Block) + text.size());
  Block* block = new (storage) Block;
  char* bytes = reinterpret_cast<char*>(block + 1);
  if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
  block->data = bytes;
  block->size = text.size();
  return block;
}

void Block::release(Block* block) noexcept {
  if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block->~Block();
    ::operator delete(block);
  }
}

SGMessageBase::SharedText::SharedText(std::string text) : m_block(Block::adopt(std::move(text))) {}

SGMessageBase::SharedText::SharedText(const SharedText& other) noexcept : m_block(other.m_block) {
  if (m_block != nullptr) Block::retain(m_block);
}

SGMessageBase::SharedText::SharedText(SharedText&& other) noexcept : m_block(other.m_block) {
  other.m_block = nullptr;
}

SGMessageBase::SharedText& SGMessageBase::SharedText::operator=(const SharedText& other) noexcept {
  if (this == &other) return *this;
  if (other.m_block != nullptr) Block::retain(other.m_block);
  if (m_block != nullptr) Block::release(m_block);
  m_block = other.m_block;
  return *this;
}

SGMessageBase::SharedText& SGMessageBase::SharedText::operator=(SharedText&& other) noexcept {
  if (this != &other) {
    if (m_block != nullptr) Block::release(m_block);
    m_block = other.m_block;
    other.m_block = nullptr;
  }
  return *this;
}

SGMessageBase::SharedText::~SharedText() {
  if (m_block != nullptr) Block::release(m_block);
}

std::string_view SGMessageBase::SharedText::view() const noexcept {
  return m_block != nullptr ? m_block->view() : std::string_view();
}

// --- SGText ------------------------------------------------------------------------------------

namespace {

// The largest text a shared value can hold: its size takes 7 bytes.
constexpr std::size_t kMaxSharedSize = (std::size_t{1} << 56) - 1;

}  // namespace

// A shared value keeps two pointers in its first 16 bytes.
constexpr std::size_t kPointerBytes = sizeof(void*);
static_assert(kPointerBytes == 8, "a shared text value holds two 8-byte pointers");

const char* SGText::sharedData() const noexcept {
  const char* data = nullptr;
  std::memcpy(&data, m_raw, kPointerBytes);
  return data;
}

SGText::Block* SGText::block() const noexcept {
  Block* held = nullptr;
  std::memcpy(&held, m_raw + kPointerBytes, kPointerBytes);
  return held;
}

std::size_t SGText::sharedSize() const noexcept {
  std::size_t size = 0;
  for (std::size_t i = 0; i < 7; ++i) size |= static_cast<std::size_t>(m_raw[16 + i]) << (8 * i);
  return size;
}

void SGText::setShared(const char* data, std::size_t size, Block* held) noexcept {
  std::memcpy(m_raw, &data, kPointerBytes);
  std::memcpy(m_raw + kPointerBytes, &held, kPointerBytes);
  for (std::size_t i = 0; i < 7; ++i) m_raw[16 + i] = static_cast<unsigned char>(size >> (8 * i));
  m_raw[kTag] = kShared;
}

SGText::SGText(const SGText& other) noexcept {
  std::memcpy(m_raw, other.m_raw, sizeof m_raw);
  if (!isInline()) Block::retain(block());
}

SGText::SGText(SGText&& other) noexcept {
  std::memcpy(m_raw, other.m_raw, sizeof m_raw);
  other.m_raw[kTag] = 0;
}

SGText& SGText::operator=(const SGText& other) noexcept {
  if (this != &other) {
    SGText copy(other);
    *this = std::move(copy);
  }
  return *this;
}

SGText& SGText::operator=(SGText&& other) noexcept {
  if (this != &other) {
    clear();
    std::memcpy(m_raw, other.m_raw, sizeof m_raw);
    other.m_raw[kTag] = 0;
  }
  return *this;
}

void SGText::assign(std::string_view text) {
  if (text.size() <= kInlineSize) {
    unsigned char bytes[kInlineSize];
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());  // text may lie in this value's block
    clear();
    if (!text.empty()) std::memcpy(m_raw, bytes, text.size());
    m_raw[kTag] = static_cast<unsigned char>(text.size());
    return;
  }
  if (text.size() > kMaxSharedSize) throw std::length_error("message text too long");
  Block* made = Block::copyOf(text);
  clear();
  setShared(made->data, made->size, made);
}

void SGText::share(Block* held, std::string_view part) {
  if (part.size() <= kInlineSize) {
    assign(part);
    return;
  }
  if (part.size() > kMaxSharedSize) throw std::length_error("message text too long");
  Block::retain(held);
  clear();
  setShared(part.data(), part.size(), held);
}

void SGText::clear() noexcept {
  if (!isInline()) Block::release(block());
  m_raw[kTag] = 0;
}

// --- SGField -----------------------------------------------------------------------------------

SGField::SGField(const SGField& other) : number(other.number), integer(0) {
  switch (other.type) {
    case SGFieldType::kInt64:
      integer = other.integer;
      break;
    case SGFieldType::kString:
      new (&text) SGText(other.boxed ? SGText() : other.text);
      if (other.boxed) text.assign(*other.box);
      break;
    case SGFieldType::kObject:
      object = zarezodud::cloneMessage(*other.object);
      break;
    case SGFieldType::kList:
      list = SGMessageAccess::copyList(*other.list);
      break;
  }
  type = other.type;
}

SGField::SGField(SGField&& other) noexcept
    : number(other.number), type(other.type), boxed(other.boxed), integer(0) {
  switch (type) {
    case SGFieldType::kInt64:
      integer = other.integer;
      break;
    case SGFieldType::kString:
      if (boxed) {
        box = other.box;
      } else {
        new (&text) SGText(std::move(other.text));
        other.text.~SGText();
      }
      break;
    case SGFieldType::kObject:
      object = other.object;
      break;
    case SGFieldType::kList:
      list = other.list;
      break;
  }
  // The source gives up what it owned.
  other.type = SGFieldType::kInt64;
  other.boxed = false;
  other.integer = 0;
}

void SGField::releaseValue() noexcept {
  switch (type) {
    case SGFieldType::kObject:
      delete object;
      break;
    case SGFieldType::kList:
      delete list;
      break;
    case SGFieldType::kString:
      if (boxed) {
        delete box;
      } else {
        text.~SGText();
      }
      break;
    case SGFieldType::kInt64:
      break;
  }
  type = SGFieldType::kInt64;
  boxed = false;
  integer = 0;
}

void SGField::becomeText(SGText&& fresh) noexcept {
  releaseValue();
  new (&text) SGText(std::move(fresh));
  type = SGFieldType::kString;
}

void SGField::setInteger(int64_t value) noexcept {
  releaseValue();
  integer = value;
}

void SGField::setText(std::string_view value) {
  if (type == SGFieldType::kString) {
    // A boxed string keeps its box: a reference handed out by getstringByRef stays valid.
    if (boxed) {
      box->assign(value.data(), value.size());
    } else {
      text.assign(value);
    }
    return;
  }
  if (type == SGFieldType::kInt64) {  // nothing held that value could view
    new (&text) SGText();
    type = SGFieldType::kString;
    text.assign(value);
    return;
  }
  SGText fresh;
  fresh.assign(value);  // before releasing: value may view what the field holds
  becomeText(std::move(fresh));
}

void SGField::setSharedText(SGMessageBase::SharedText::Block* block, std::string_view part) {
  if (type == SGFieldType::kString) {
    if (boxed) {
      box->assign(part.data(), part.size());
    } else {
      text.share(block, part);
    }
    return;
  }
  if (type == SGFieldType::kInt64) {
    new (&text) SGText();
    type = SGFieldType::kString;
    text.share(block, part);
    return;
  }
  SGText fresh;
  fresh.share(block, part);
  becomeText(std::move(fresh));
}

void SGField::setObject(SGMessageBase* record) noexcept {
  releaseValue();
  object = record;
  type = SGFieldType::kObject;
}

void SGField::setList(SGMessageList* newList) noexcept {
  releaseValue();
  list = newList;
  type = SGFieldType::kList;
}

std::string& SGField::boxedText() {
  if (type != SGFieldType::kString) {
    auto fresh = std::make_unique<std::string>();
    releaseValue();
    box = fresh.release();
  } else if (!boxed) {
    auto fresh = std::make_unique<std::string>(text.view());
    text.~SGText();
    box = fresh.release();
  }
  type = SGFieldType::kString;
  boxed = true;
  return *box;
}

// --- Fields ------------------------------------------------------------------------------------

SGMessageBase::Fields* SGMessageBase::Fields::create(std::uint32_t capacity) {
  if (capacity == 0) capacity = 1;
  Fields* fields = new (::operator new(bytesFor(capacity))) Fields;
  fields->capacity = capacity;
  return fields;
}

SGMessageBase::Fields* SGMessageBase::Fields::createIn(void* storage, std::uint32_t capacity) noexcept {
  Fields* fields = new (storage) Fields;
  fields->capacity = capacity;
  fields->borrowed = true;
  return fields;
}

void SGMessageBase::Fields::destroy(Fields* fields) noexcept {
  if (fields == nullptr) return;
  for (SGField& field : *fields) field.~SGField();
  fields->count = 0;
  if (fields->borrowed) return;
  fields->~Fields();
  ::operator delete(fields);
}

void SGMessageBase::Fields::clear(Fields*& fields) noexcept {
  if (fields == nullptr) return;
  const bool borrowed = fields->borrowed;
  destroy(fields);
  if (!borrowed) fields = nullptr;
}

SGMessageBase::Fields* SGMessageBase::Fields::clone(const Fields* fields) {
  if (fields == nullptr || fields->count == 0) return nullptr;
  Fields* copy = create(fields->count);
  try {
    for (const SGField& field : *fields) {
      new (copy->end()) SGField(field);
      ++copy->count;
    }
  } catch (...) {
    destroy(copy);
    throw;
  }
  return copy;
}

void SGMessageBase::Fields::moveAll(Fields* from, Fields* to) noexcept {
  SGField* source = from->begin();
  for (std::uint32_t i = 0; i < from->count; ++i) {
    new (to->begin() + i) SGField(std::move(source[i]));
    source[i].~SGField();
  }
  to->count = from->count;
  from->count = 0;
}

void SGMessageBase::Fields::assignCopy(Fields*& target, const Fields* source) {
  const std::uint32_t needed = source != nullptr ? source->count : 0;
  if (target != nullptr && target->borrowed && target->count == 0 && target->capacity >= needed) {
    // An empty block holds nothing that source could lie in: copy straight into it.
    try {
      for (std::uint32_t i = 0; i < needed; ++i) {
        new (target->end()) SGField(source->begin()[i]);
        ++target->count;
      }
    } catch (...) {
      clear(target);
      throw;
    }
    return;
  }
  // Copy first: source may lie inside one of target's fields.
  Fields* copy = clone(source);
  Fields* empty = nullptr;
  Fields*& from = copy != nullptr ? copy : empty;
  assignMove(target, from);
  destroy(copy);
}

void SGMessageBase::Fields::assignMove(Fields*& target, Fields*& source) {
  if (source == target) return;
  // Take the fields out of source first: source may lie inside one of target's fields, and
  // a borrowed source block goes when its list does.
  Fields* taken = nullptr;
  if (source != nullptr && source->count > 0) {
    if (target != nullptr && target->borrowed && target->count == 0 && target->capacity >= source->count) {
      moveAll(source, target);  // target is empty, so source cannot lie inside it
      clear(source);
      return;
    }
    if (source->borrowed) {
      taken = create(source->count);
      moveAll(source, taken);
    } else {
      taken = source;
      source = nullptr;
    }
  } else {
    clear(source);
  }
  clear(target);
  if (taken == nullptr) return;
  if (target != nullptr && target->capacity >= taken->count) {
    moveAll(taken, target);  // target is an empty borrowed block
    destroy(taken);
  } else {
    target = taken;  // a borrowed block of target too small is left unused
  }
}

SGField& SGMessageBase::Fields::obtainInOrder(Fields*& fields, int number) {
  std::uint32_t at = 0;
  if (fields != nullptr) {
    for (; at < fields->count; ++at) {
      SGField& field = fields->begin()[at];
      if (field.number == number) return field;
      if (field.number > number) break;
    }
  }
  if (fields == nullptr || fields->count == fields->capacity) {
    // A new block, the fields moved over with a gap at the new field's place.
    Fields* grown = create(fields == nullptr ? 2 : fields->capacity * 2);
    if (fields != nullptr) {
      SGField* from = fields->begin();
      SGField* to = grown->begin();
      for (std::uint32_t i = 0; i < fields->count; ++i) {
        new (to + (i < at ? i : i + 1)) SGField(std::move(from[i]));
      }
      grown->count = fields->count;
      for (std::uint32_t i = 0; i < fields->count; ++i) from[i].~SGField();
      fields->count = 0;
      destroy(fields);  // a borrowed block stays where it is, unused
    }
    new (grown->begin() + at) SGField(number);
    ++grown->count;
    fields = grown;
    return grown->begin()[at];
  }
  SGField* slots = fields->begin();
  if (at == fields->count) {
    new (slots + at) SGField(number);
  } else {
    new (slots + fields->count) SGField(std::move(slots[fields->count - 1]));
    for (std::uint32_t i = fields->count - 1; i > at; --i) {
      slots[i].~SGField();
      new (slots + i) SGField(std::move(slots[i - 1]));
    }
    slots[at].~SGField();
    new (slots + at) SGField(number);
  }
  ++fields->count;
  return slots[at];
}

void SGMessageBase::Fields::erase(int number) noexcept {
  SGField* field = find(number);
  if (field == nullptr) return;
  SGField* last = end() - 1;
  for (SGField* f = field; f != last; ++f) {
    f->~SGField();
    new (f) SGField(std::move(f[1]));
  }
  last->~SGField();
  --count;
}

namespace zarezodud {

SGMessageBase* cloneMessage(const SGMessageBase& record) {
  std::unique_ptr<SGMessageBase> copy = makeMessage(record.group(), record.kind());
  *copy = record;
  return copy.release();
}

}  // namespace zarezodud
