// SGMessageBase: a message record whose fields are kept by field number. A field holds a
// 64-bit integer, a string, one nested message or a list of messages. Messages are
// identified by a (group, kind) pair and have an XML form:
//
//   <message group="G" kind="K">
//     <field number="N" type="int64|string|object|list">...</field>
//   </message>
//
// An object field holds exactly one <message>, a list field zero or more. A string field
// holding bytes that XML cannot carry (NUL and the other control characters except tab,
// line feed and carriage return) is written with encoding="base64".
//
// Ordinals, class tags and field tags are accepted by every accessor so that callers name a
// field completely, but they are not stored or checked: a field is identified by its number
// alone. What is checked is the kind of nested records: a message kind registered with
// registerMessageClass() (platform/sg_message_registry.h) declares, per field number, the type
// of the field and the group and kind of the records nested in it. Nested records of a
// registered parent must match, both when they are stored (setObjectAccessor,
// SGMessageList::append) and when a message is read back from XML. Nested records are made as
// the class registered for their (group, kind), so a record nested in a message is always of
// its registered class.
//
// Storage is flat: a message keeps its fields in one block, a list keeps its records side by
// side in a few blocks (never one allocation per record; in a list of a registered kind each
// record's fields lie in its slot), and a string field holds up to 23 bytes in place, longer
// text in an immutable reference-counted block of its own or as a view into a SharedText
// buffer that many fields share. Copies are deep in
// effect (no change to a copy reaches the original), but copying a string that views shared
// text copies no bytes. Records can be moved into a list instead of copied.
//
// Thread-safety: a message is a plain value; concurrent reads are safe, a write needs
// exclusive access. Shared text is immutable and reference-counted atomically, so copies of
// messages may live on different threads. The kind registry is process-wide and guarded by
// its own lock.
#ifndef ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_BASE_H
#define ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_BASE_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "export.h"

class SGMessageList;

class ZAREZODUD_API SGMessageBase {
 public:
  // Immutable text that many string fields can view without copying it: one buffer whose
  // reference count is shared by every handle and every field that views a part of it.
  class ZAREZODUD_API SharedText {
   public:
    // No text.
    SharedText() noexcept = default;
    // Takes text over (its bytes are not copied).
    explicit SharedText(std::string text);
    SharedText(const SharedText& other) noexcept;
    SharedText(SharedText&& other) noexcept;
    SharedText& operator=(const SharedText& other) noexcept;
    SharedText& operator=(SharedText&& other) noexcept;
    ~SharedText();

    // The whole text; valid as long as this handle (or any field viewing it) lives.
    std::string_view view() const noexcept;

    struct Block;

   private:
    friend struct SGMessageAccess;
    Block* m_block = nullptr;
  };

  // An empty message of the given group and kind.
  SGMessageBase(int group, int kind);
  // Copies: no change to the copy reaches the original and the other way round. Nested
  // records and lists are copied; text that views shared buffers keeps viewing them.
  // Assignment takes over the source's group and kind as well as its fields.
  SGMessageBase(const SGMessageBase& other);
  SGMessageBase& operator=(const SGMessageBase& other);
  // Moves: the fields are taken over without copying them one by one (unless other is a
  // list's record, whose fields lie in the list's storage and are moved out of it); other
  // keeps its group and kind and is left without fields.
  // Not noexcept: moving a list's record out allocates storage for its fields.
  SGMessageBase(SGMessageBase&& other);             // NOLINT(performance-noexcept-move-constructor)
  SGMessageBase& operator=(SGMessageBase&& other);  // NOLINT(performance-noexcept-move-constructor)
  virtual ~SGMessageBase();

  int group() const { return m_group; }
  int kind() const { return m_kind; }

  // True when a field with this number is present (of any type).
  bool hasField(int fieldNo) const;
  // Removes the field with this number, whatever its type; nothing when absent.
  void clearField(int fieldNo);

  // The integer field's value; 0 when the field is absent or not an integer.
  int64_t getint64(int fieldNo, int classTag, int fieldTag) const;
  // Stores an integer, replacing whatever the field held.
  void setint64(int ordinal, int fieldNo, int64_t value, int classTag, int fieldTag);

  // The string field's value; "" when the field is absent or not a string.
  std::string getstring(int ordinal, int fieldNo, int classTag, int fieldTag) const;
  // The stored string itself, to change in place. An absent field (or one of another type)
  // becomes an empty string field first. The reference stays valid until the field is
  // removed or changes type, or the message is assigned to, moved from or destroyed.
  std::string& getstringByRef(int ordinal, int fieldNo, int classTag, int fieldTag);
  // Stores a string, replacing whatever the field held.
  void setstring(int ordinal, int fieldNo, const std::string& text, int classTag, int fieldTag);
  // Stores part of shared text as a string field, replacing whatever the field held. A long
  // part is viewed in place (the buffer stays alive as long as the field does), a short one
  // copied. Precondition: part lies within text.view(); a part that does not is copied.
  void setstring(int ordinal, int fieldNo, const SharedText& text, std::string_view part, int classTag,
                 int fieldTag);

  // The nested record of an object field, owned by this message; null when absent and not
  // created. byPointer is accepted for call compatibility (callers pass true) and has no
  // effect. With create, an absent record becomes an empty message of (group, kind) of that
  // kind's registered class. A nested record of another group or kind counts as absent (with
  // create it is replaced). Null also when (group, kind) contradicts the kind declared for
  // this field by the parent's registration. The pointer stays valid until the field is
  // replaced or removed or this message is assigned to, moved from or destroyed.
  SGMessageBase* getObjectAccessor(bool byPointer, bool create, int ordinal, int fieldNo, int classTag,
                                   int fieldTag, int group, int kind);
  // Read-only lookup: the nested record when present and of (group, kind), else null.
  const SGMessageBase* getObjectAccessor(int ordinal, int fieldNo, int classTag, int fieldTag, int group,
                                         int kind) const;
  // Stores a copy of *record (the caller keeps its own); null drops the nested record.
  // Returns the stored copy, or null when dropped or when the record's group and kind are
  // not the ones this field is declared to hold (then the field is left unchanged).
  SGMessageBase* setObjectAccessor(const SGMessageBase* record, int ordinal, int fieldNo, int classTag,
                                   int fieldTag);

  // The list field, owned by this message. forWriting creates an empty list when the field
  // is absent or holds another type; otherwise an absent list gives null. Null also when the
  // parent's registration declares this field as something other than a list. Lifetime as
  // for getObjectAccessor.
  SGMessageList* getlistobject(int ordinal, int fieldNo, int classTag, int fieldTag, bool forWriting);
  // Read-only lookup: the list when present, else null.
  const SGMessageList* getlistobject(int ordinal, int fieldNo, int classTag, int fieldTag) const;

  // The XML form of this message, with an XML declaration, indented.
  std::string serialize() const;
  // Writes the same text to out as it is produced, without holding it in memory; the
  // stream's state tells whether writing failed.
  void serialize(std::ostream& out) const;
  // Replaces this message's fields with those read from xml. The top element must be a
  // <message> of this message's own group and kind. On any fault (malformed XML, unknown
  // elements or attributes, bad numbers, wrong types, duplicate field numbers, nesting deeper
  // than kMaxDepth, nested kinds contradicting a registration) returns false, leaves the
  // message unchanged and, when error is not null, describes the fault there.
  bool unserialize(const std::string& xml, std::string* error);

  // Deepest nesting of messages that unserialize accepts (the top message is depth 1).
  static constexpr int kMaxDepth = 64;

  struct Fields;

 private:
  friend struct SGMessageAccess;

  int m_group;
  int m_kind;
  Fields* m_fields = nullptr;  // owned; null while the message has no field
};

// A list of whole messages, owned by the message holding the list field. Records are kept
// side by side in a few blocks of storage and never moved once stored; in a list of a
// registered kind each record's slot also holds room for the fields its kind declares, so a
// record and its fields lie together. A list created under a registered parent accepts only
// records of the group and kind declared for its field.
class ZAREZODUD_API SGMessageList {
 public:
  SGMessageList() noexcept;
  SGMessageList(const SGMessageList& other);
  SGMessageList& operator=(const SGMessageList& other);
  ~SGMessageList();

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  // The item at index; precondition: index < size() (checked: std::out_of_range). The
  // reference stays valid until the list is cleared or destroyed (appending does not move
  // existing items).
  SGMessageBase& at(std::size_t index);
  const SGMessageBase& at(std::size_t index) const;
  // Appends a copy of record and returns it; null (nothing appended) when the list holds
  // records of another group or kind.
  SGMessageBase* append(const SGMessageBase& record);
  // Appends record by taking its fields over (record is left without fields) and returns
  // the stored record; null (nothing appended, record unchanged) when the list holds
  // records of another group or kind.
  SGMessageBase* append(SGMessageBase&& record);
  void clear();

  // Whether this list is restricted to one (group, kind), and which.
  bool hasElementKind() const { return m_hasElementKind; }
  int elementGroup() const { return m_elementGroup; }
  int elementKind() const { return m_elementKind; }

  // Releases a list made by new or by the messaging library (which may allocate a list and
  // its first records together).
  static void operator delete(void* list) noexcept;

 private:
  friend struct SGMessageAccess;

  // Block k holds 2 << k records; the first kNearBlocks block addresses are kept here, the
  // others in m_farBlocks.
  static constexpr std::size_t kNearBlocks = 2;
  static constexpr std::size_t kMaxBlocks = 48;

  SGMessageBase* slot(std::size_t index) const;
  // Storage for the next record, allocating its block when needed.
  unsigned char* nextSlot();
  // Constructs an empty record of (group, kind) in the next slot and counts it.
  SGMessageBase* place(int group, int kind);
  bool accepts(const SGMessageBase& record) const;
  // Restricts the list to (group, kind), with room in every slot for the fields the kind
  // declares; only while the list is empty.
  void restrict(int group, int kind);
  // Storage allocated right after the list for its first block; null when there is none.
  unsigned char* tail() const;

  std::size_t m_size = 0;
  std::uint32_t m_slotSize = sizeof(SGMessageBase);  // bytes per record
  std::uint32_t m_slotFields = 0;                    // fields a slot has room for
  std::uint32_t m_tailBytes = 0;                     // see tail()
  bool m_hasElementKind = false;
  int m_elementGroup = 0;
  int m_elementKind = 0;
  void* m_nearBlocks[kNearBlocks] = {};
  void** m_farBlocks = nullptr;  // kMaxBlocks entries once needed
  // How records of the element kind are made, as registered when the list was restricted;
  // null: ask the registry for each record.
  SGMessageBase* (*m_placeElement)(void*) = nullptr;
};

#endif  // ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_BASE_H
