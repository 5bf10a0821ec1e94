#include "db/rows/rkdb_data_type_base.h"

namespace zarezodud {

RKDBDataTypeBase::~RKDBDataTypeBase() = default;

void RKDBDataTypeBase::clearMemoryOnNULL() {}

std::string RKDBDataTypeBase::getStr() const { return m_text; }

std::string RKDBDataTypeBase::toString(int maxLength) const {
  std::string text = m_isNull ? std::string("NULL") : getStr();
  if (maxLength > 0 && text.size() > static_cast<std::size_t>(maxLength)) {
    text.resize(static_cast<std::size_t>(maxLength));
  }
  return text;
}

void RKDBDataTypeBase::setInternalNull(bool isNull) {
  if (isNull == m_isNull) return;
  m_changed = false;
  m_isNull = isNull;
  if (isNull) clearMemoryOnNULL();
}

void RKDBDataTypeBase::updateChanges() {
  if (m_updated == RKDB_NOT_UPDATED) {
    m_updated = RKDB_UPDATED_ONCE;
  } else {
    m_updated = RKDB_UPDATED_MORE;
  }
}

void RKDBDataTypeBase::clone(const RKDBDataTypeBase* source) {
  if (source == nullptr || source == this) return;
  m_isNull = source->m_isNull;
  m_text = source->m_text;
  m_changed = source->m_changed;
  updateChanges();
  m_flag = source->m_flag;
}

void RKDBDataTypeBase::markSetByProgram() {
  setInternalNull(false);
  m_changed = true;
  updateChanges();
}

}  // namespace zarezodud
