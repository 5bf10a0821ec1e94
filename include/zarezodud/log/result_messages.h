// The engine's result records in namespace RKZARezodud: the position record of a phase
// (ProcessPhase), the upgrade phase record that collects per-script results (UpgradePhase),
// one script's result (Script) with its messages (Error), rows (DataGroup) and cells
// (ColumnData), and the unused upgrade results record (UpgradeResults).
//
// Every class is an SGMessageBase of message group 105 with its own kind; it adds no data and
// no virtual functions. The named accessors below are the only place that knows each field's
// ordinal, number and tags. Nested records and list items are stored as copies, or taken over
// when appended as temporaries (std::move). Text setters that take shared text view a part of
// it instead of copying it (see SGMessageBase::SharedText).
//
// Thread-safety: as SGMessageBase, records are plain values; a write needs exclusive access.
#ifndef ZAREZODUD_LOG_RESULT_MESSAGES_H
#define ZAREZODUD_LOG_RESULT_MESSAGES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "export.h"
#include "platform/messaging/sg_message_base.h"

namespace RKZARezodud {

// Message group of every result record.
constexpr int kResultGroup = 105;

// The coordinates of one field, as the base's accessors take them.
struct FieldRef {
  int ordinal;
  int number;
  int classTag;
  int fieldTag;
};

// Read access to a list field holding records of class T. An absent list reads as empty.
template <class T>
class ConstRecordList {
 public:
  ConstRecordList(const SGMessageBase& owner, FieldRef field) : m_owner(&owner), m_field(field) {}

  std::size_t size() const {
    const SGMessageList* list = get();
    return list ? list->size() : 0;
  }
  bool empty() const { return size() == 0; }
  // The item at index; precondition: index < size().
  const T& at(std::size_t index) const { return dynamic_cast<const T&>(get()->at(index)); }

 private:
  const SGMessageList* get() const {
    return m_owner->getlistobject(m_field.ordinal, m_field.number, m_field.classTag, m_field.fieldTag);
  }
  const SGMessageBase* m_owner;
  FieldRef m_field;
};

// Read and write access to a list field holding records of class T; the list is created on
// the first append. The view does not own anything and must not outlive its owner.
template <class T>
class RecordList {
 public:
  RecordList(SGMessageBase& owner, FieldRef field) : m_owner(&owner), m_field(field) {}

  std::size_t size() const { return ConstRecordList<T>(*m_owner, m_field).size(); }
  bool empty() const { return size() == 0; }
  // The stored item at index, to change in place; precondition: index < size().
  T& at(std::size_t index) { return dynamic_cast<T&>(get(true)->at(index)); }
  // Stores a copy of record at the end and returns the stored copy (later changes to record
  // do not reach it). The pointer stays valid until the list is cleared or its owner changes.
  T* append(const T& record) { return static_cast<T*>(get(true)->append(record)); }
  // Stores record at the end by taking its fields over (record is left without fields) and
  // returns the stored record.
  T* append(T&& record) { return static_cast<T*>(get(true)->append(std::move(record))); }
  void clear() {
    if (SGMessageList* list = get(false)) list->clear();
  }
  // Makes the list present (empty) when it is absent; its XML form then shows it.
  void create() { get(true); }

 private:
  SGMessageList* get(bool create) {
    return m_owner->getlistobject(m_field.ordinal, m_field.number, m_field.classTag, m_field.fieldTag,
                                  create);
  }
  SGMessageBase* m_owner;
  FieldRef m_field;
};

// The position record of a phase: how far processing got, so that a failed phase can be
// resumed. Kind 0.
class ZAREZODUD_API ProcessPhase : public SGMessageBase {
 public:
  static constexpr int kKind = 0;
  static constexpr int kClassTag = 1774386284;

  ProcessPhase();

  // Phase name; set by the parent phase on the record of a sub-module.
  std::string getPhaseName() const;
  void setPhaseName(const std::string& name);
  // Stage: 1 pre-command lists, 2 sub-modules, 3 post-command lists; 0 when never set.
  int64_t getStage() const;
  void setStage(int64_t stage);
  // The list file being run, as named in the phase.
  std::string getCurrentListFile() const;
  void setCurrentListFile(const std::string& listFile);
  // The script being run, as written in its list.
  std::string getCurrentScript() const;
  void setCurrentScript(const std::string& script);
  // The sub-module record (position inside the sub-module being processed), owned by this
  // record. Without create an absent record gives null; with create an empty one is made and
  // later calls give that same record. Valid until dropped, replaced or this record changes
  // as a whole.
  ProcessPhase* getSubModule(bool create);
  const ProcessPhase* getSubModule() const;
  // Stores a copy of record as the sub-module record and returns the stored copy.
  ProcessPhase* setSubModule(const ProcessPhase& record);
  // Removes the sub-module record; getSubModule(false) gives null afterwards.
  void dropSubModule();
  // Resume flag: 1 = skip forward to the recorded position.
  int64_t getResumeFlag() const;
  void setResumeFlag(int64_t flag);
};

class Script;

// The processor's upgrade phase record: the per-script results of a run. Kind 1.
class ZAREZODUD_API UpgradePhase : public SGMessageBase {
 public:
  static constexpr int kKind = 1;
  static constexpr int kClassTag = 1765983455;

  UpgradePhase();

  RecordList<Script> scripts();
  ConstRecordList<Script> scripts() const;
};

class Error;

// The result of one SQL script. Kind 2.
class ZAREZODUD_API Script : public SGMessageBase {
 public:
  static constexpr int kKind = 2;
  static constexpr int kClassTag = 1766505707;

  Script();

  // Script name: the list entry up to its last ".".
  std::string getName() const;
  void setName(const std::string& name);
  // Description from the script output; the script name when there is none.
  std::string getDescription() const;
  void setDescription(const std::string& description);
  void setDescription(const SGMessageBase::SharedText& text, std::string_view part);
  int64_t getReturnCode() const;
  void setReturnCode(int64_t returnCode);
  // The script's messages; empty when never written.
  RecordList<Error> errors();
  ConstRecordList<Error> errors() const;
};

// One row of tabular data attached to a message. Kind 3.
class ColumnData;
class ZAREZODUD_API DataGroup : public SGMessageBase {
 public:
  static constexpr int kKind = 3;
  static constexpr int kClassTag = 1769369813;

  DataGroup();

  RecordList<ColumnData> cells();
  ConstRecordList<ColumnData> cells() const;
};

// One message of a script. Kind 4.
class ZAREZODUD_API Error : public SGMessageBase {
 public:
  static constexpr int kKind = 4;
  static constexpr int kClassTag = 1761731048;

  Error();

  // Severity: 2 error, 1 warning, 0 none.
  int64_t getSeverity() const;
  void setSeverity(int64_t severity);
  std::string getMessage() const;
  void setMessage(const std::string& message);
  void setMessage(const SGMessageBase::SharedText& text, std::string_view part);
  // Advice text; empty when the script gave none.
  std::string getAdvice() const;
  void setAdvice(const std::string& advice);
  void setAdvice(const SGMessageBase::SharedText& text, std::string_view part);
  // Rows of tabular data attached to the message.
  RecordList<DataGroup> rows();
  ConstRecordList<DataGroup> rows() const;
};

// The upgrade results record; constructed and destroyed only. Kind 5.
class ZAREZODUD_API UpgradeResults : public SGMessageBase {
 public:
  static constexpr int kKind = 5;

  UpgradeResults();
};

// One cell of a row: column name and value. Kind 6.
class ZAREZODUD_API ColumnData : public SGMessageBase {
 public:
  static constexpr int kKind = 6;
  static constexpr int kClassTag = 1766553664;

  ColumnData();

  std::string getName() const;
  void setName(const std::string& name);
  void setName(const SGMessageBase::SharedText& text, std::string_view part);
  std::string getValue() const;
  void setValue(const std::string& value);
  void setValue(const SGMessageBase::SharedText& text, std::string_view part);
};

}  // namespace RKZARezodud

#endif  // ZAREZODUD_LOG_RESULT_MESSAGES_H
