#include "platform/messaging/sg_message_base.h"

#include <memory>
#include <optional>
#include <utility>

#include "platform/messaging/sg_message_fields.h"
#include "platform/messaging/sg_message_registry.h"

using zarezodud::SGFieldSpec;
using zarezodud::SGFieldType;

namespace {

// The field fieldNo of a message, added when absent. A message's first field makes room for
// every field its kind declares, so that filling a registered record allocates once.
SGField& fieldOf(SGMessageBase::Fields*& fields, int group, int kind, int fieldNo) {
  if (fields == nullptr) {
    const std::size_t declared = zarezodud::declaredFieldCount(group, kind);
    fields = SGMessageBase::Fields::create(static_cast<std::uint32_t>(declared > 0 ? declared : 2));
  }
  return SGMessageBase::Fields::obtain(fields, fieldNo);
}

}  // namespace

SGField& SGMessageAccess::field(SGMessageBase& message, int number) {
  return fieldOf(message.m_fields, message.m_group, message.m_kind, number);
}

SGMessageBase::SGMessageBase(int group, int kind) : m_group(group), m_kind(kind) {}

SGMessageBase::SGMessageBase(const SGMessageBase& other)
    : m_group(other.m_group), m_kind(other.m_kind), m_fields(Fields::clone(other.m_fields)) {}

SGMessageBase& SGMessageBase::operator=(const SGMessageBase& other) {
  if (this != &other) {
    // other may be nested inside this message and go while the fields are replaced.
    const int group = other.m_group;
    const int kind = other.m_kind;
    Fields::assignCopy(m_fields, other.m_fields);
    m_group = group;
    m_kind = kind;
  }
  return *this;
}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): see the header
SGMessageBase::SGMessageBase(SGMessageBase&& other) : m_group(other.m_group), m_kind(other.m_kind) {
  Fields::assignMove(m_fields, other.m_fields);
}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): see the header
SGMessageBase& SGMessageBase::operator=(SGMessageBase&& other) {
  if (this != &other) {
    const int group = other.m_group;
    const int kind = other.m_kind;
    Fields::assignMove(m_fields, other.m_fields);
    m_group = group;
    m_kind = kind;
  }
  return *this;
}

SGMessageBase::~SGMessageBase() { Fields::destroy(m_fields); }

bool SGMessageBase::hasField(int fieldNo) const {
  return m_fields != nullptr && m_fields->find(fieldNo) != nullptr;
}

void SGMessageBase::clearField(int fieldNo) {
  if (m_fields != nullptr) m_fields->erase(fieldNo);
}

int64_t SGMessageBase::getint64(int fieldNo, int, int) const {
  const SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  return field != nullptr && field->type == SGFieldType::kInt64 ? field->integer : 0;
}

void SGMessageBase::setint64(int, int fieldNo, int64_t value, int, int) {
  fieldOf(m_fields, m_group, m_kind, fieldNo).setInteger(value);
}

std::string SGMessageBase::getstring(int, int fieldNo, int, int) const {
  const SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  return field != nullptr && field->type == SGFieldType::kString ? std::string(field->textView())
                                                                 : std::string();
}

std::string& SGMessageBase::getstringByRef(int, int fieldNo, int, int) {
  return fieldOf(m_fields, m_group, m_kind, fieldNo).boxedText();
}

void SGMessageBase::setstring(int, int fieldNo, const std::string& text, int, int) {
  fieldOf(m_fields, m_group, m_kind, fieldNo).setText(text);
}

void SGMessageBase::setstring(int, int fieldNo, const SharedText& text, std::string_view part, int, int) {
  SharedText::Block* block = SGMessageAccess::block(text);
  SGField& field = fieldOf(m_fields, m_group, m_kind, fieldNo);
  if (block != nullptr && block->contains(part)) {
    field.setSharedText(block, part);
  } else {
    field.setText(part);
  }
}

namespace {

// False when the parent's registration declares fieldNo as something else than an object
// field holding records of (group, kind).
bool objectAllowed(int parentGroup, int parentKind, int fieldNo, int group, int kind) {
  std::optional<SGFieldSpec> declared = zarezodud::declaredField(parentGroup, parentKind, fieldNo);
  return !declared ||
         (declared->type == SGFieldType::kObject && declared->group == group && declared->kind == kind);
}

}  // namespace

SGMessageBase* SGMessageBase::getObjectAccessor(bool, bool create, int, int fieldNo, int, int, int group,
                                                int kind) {
  if (!objectAllowed(m_group, m_kind, fieldNo, group, kind)) return nullptr;
  SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  if (field != nullptr && field->type == SGFieldType::kObject && field->object->group() == group &&
      field->object->kind() == kind) {
    return field->object;
  }
  if (!create) return nullptr;
  std::unique_ptr<SGMessageBase> made = zarezodud::makeMessage(group, kind);
  SGField& stored = fieldOf(m_fields, m_group, m_kind, fieldNo);
  stored.setObject(made.release());
  return stored.object;
}

const SGMessageBase* SGMessageBase::getObjectAccessor(int, int fieldNo, int, int, int group, int kind) const {
  const SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  if (field == nullptr || field->type != SGFieldType::kObject) return nullptr;
  const SGMessageBase* nested = field->object;
  return nested->group() == group && nested->kind() == kind ? nested : nullptr;
}

SGMessageBase* SGMessageBase::setObjectAccessor(const SGMessageBase* record, int, int fieldNo, int, int) {
  if (record == nullptr) {
    SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
    if (field != nullptr && field->type == SGFieldType::kObject) m_fields->erase(fieldNo);
    return nullptr;
  }
  if (!objectAllowed(m_group, m_kind, fieldNo, record->group(), record->kind())) return nullptr;
  // Copy before replacing: record may be the nested record being replaced, or inside it.
  std::unique_ptr<SGMessageBase> copy(zarezodud::cloneMessage(*record));
  SGField& stored = fieldOf(m_fields, m_group, m_kind, fieldNo);
  stored.setObject(copy.release());
  return stored.object;
}

SGMessageList* SGMessageBase::getlistobject(int, int fieldNo, int, int, bool forWriting) {
  SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  if (field != nullptr && field->type == SGFieldType::kList) return field->list;
  if (!forWriting) return nullptr;
  std::optional<SGFieldSpec> declared = zarezodud::declaredField(m_group, m_kind, fieldNo);
  if (declared && declared->type != SGFieldType::kList) return nullptr;
  std::unique_ptr<SGMessageList> list(SGMessageAccess::newList(
      declared.has_value(), declared ? declared->group : 0, declared ? declared->kind : 0));
  SGField& stored = fieldOf(m_fields, m_group, m_kind, fieldNo);
  stored.setList(list.release());
  return stored.list;
}

const SGMessageList* SGMessageBase::getlistobject(int, int fieldNo, int, int) const {
  const SGField* field = m_fields != nullptr ? m_fields->find(fieldNo) : nullptr;
  return field != nullptr && field->type == SGFieldType::kList ? field->list : nullptr;
}
