// RKDBDataTypeBase: the common part of every column value object of the table layer. A value
// object holds one column of one row: whether it is NULL, how often it has been changed, its
// value rendered as text, and (in the derived class) the value itself. The connection service
// stores a fetched column with setData(source, 0, length, false) and setInternalNull().
//
// Thread-safety: none. A value object belongs to one row object, used by one thread at a time.
#ifndef ZAREZODUD_DB_ROWS_RKDB_DATA_TYPE_BASE_H
#define ZAREZODUD_DB_ROWS_RKDB_DATA_TYPE_BASE_H

#include <cstdint>
#include <string>

#include "platform/odbc/column_target.h"

namespace zarezodud {

// How often a value has been changed since construction (or since setUpdated reset it).
enum UpdatedStatus : std::int32_t {
  RKDB_NOT_UPDATED = 0,   // never changed (a value constructed null)
  RKDB_UPDATED_ONCE = 1,  // changed once
  RKDB_UPDATED_MORE = 2,  // changed more than once
};

class RKDBDataTypeBase : public ColumnTarget {
 public:
  RKDBDataTypeBase() = default;
  RKDBDataTypeBase(const RKDBDataTypeBase&) = default;  // NOLINT: value objects are copied
  RKDBDataTypeBase& operator=(const RKDBDataTypeBase&) = default;

  // Stores length bytes of source as (part of) the value, starting offset bytes into it; the
  // meaning of offset and flag is the derived type's. Clears the change flag and refreshes the
  // text form. Returns 1 when stored, 0 when the arguments do not fit the value (nothing is
  // changed then). Does not touch the null flag.
  int setData(const char* source, int offset, int length, bool flag) override = 0;
  // Releases what a null value need not keep. Nothing in the base.
  virtual void clearMemoryOnNULL();
  // Renders the value into the text form returned by getStr().
  virtual void setString() const = 0;
  // The text form of the value.
  virtual std::string getStr() const;
  ~RKDBDataTypeBase() override;
  // The type code (RKDBDataTypeCode).
  int getDataType() const override = 0;
  // "NULL" for a null value, otherwise the text form; when maxLength is positive the result
  // is cut to at most maxLength characters.
  virtual std::string toString(int maxLength) const;

  // Sets the null flag to isNull. When that changes it, the change flag is cleared and, when
  // the value becomes null, clearMemoryOnNULL() runs. Setting the flag it already has does
  // nothing.
  void setInternalNull(bool isNull);
  // The connection service's way to set the null flag: setInternalNull.
  void setFetchedNull(bool isNull) override { setInternalNull(isNull); }
  bool isNull() const { return m_isNull; }

  void setUpdated(UpdatedStatus status) { m_updated = status; }
  UpdatedStatus getUpdated() const { return m_updated; }
  // Advances the update status: 0 -> 1, 1 -> 2, 2 stays 2.
  void updateChanges();

  // Copies the null flag, text form and change flag of source, advances the update status,
  // then copies the first flag. The 64-bit word and the second string are not copied. A null
  // source changes nothing. Derived types hide this with a version that also copies the value.
  void clone(const RKDBDataTypeBase* source);

  bool getFlag() const { return m_flag; }
  void setFlag(bool flag) { m_flag = flag; }
  const std::string& getAuxText() const { return m_auxText; }
  void setAuxText(const std::string& text) { m_auxText = text; }
  // True after the program set the value (setValue of the derived types); false after a
  // fetch (setData) or a change of the null flag.
  bool isChanged() const { return m_changed; }
  void setChanged(bool changed) { m_changed = changed; }
  std::int64_t getWord() const { return m_word; }
  void setWord(std::int64_t word) { m_word = word; }

 protected:
  // For setString() of derived types.
  void setTextForm(std::string text) const { m_text = std::move(text); }
  // For the value setters of derived types: not null, changed by the program, one more update.
  void markSetByProgram();

 private:
  bool m_isNull = true;
  UpdatedStatus m_updated = RKDB_NOT_UPDATED;
  bool m_flag = false;
  mutable std::string m_text;
  std::string m_auxText;
  bool m_changed = false;
  std::int64_t m_word = 0;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_DATA_TYPE_BASE_H
