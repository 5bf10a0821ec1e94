#include "db/rows/rkdb_row_base.h"

namespace zarezodud {

RKSimpleDBSem RKDBRowBase::s_semColumnVec(1);

RKDBRowBase::RKDBRowBase() : m_sem(new RKSimpleDBSem(1)) {}

RKDBRowBase::~RKDBRowBase() {
  for (RKDBDataTypeBase* value : m_columnVec) delete value;
  m_columnVec.clear();
  m_columnMap.clear();
  m_sem.reset();
}

void RKDBRowBase::lock() { s_semColumnVec.wait(); }

void RKDBRowBase::unLock() { s_semColumnVec.release(1); }

std::string RKDBRowBase::getColumnName(const int& i) { return getColumnName_t2(i); }

std::vector<RKDBDataTypeBase*> RKDBRowBase::getData() { return m_columnVec; }

std::string RKDBRowBase::getStructDef() { return std::string(); }

int RKDBRowBase::getHeaderType() { return -1; }

bool RKDBRowBase::searchForeignKey(std::string name) {
  static_cast<void>(name);
  return false;
}

// Copies nothing (a row's columns belong to its own class), so self-assignment is harmless.
// NOLINTNEXTLINE(cert-oop54-cpp)
RKDBRowBase& RKDBRowBase::operator=(RKDBRowBase& other) {
  static_cast<void>(other);
  return *this;
}

std::string RKDBRowBase::fillForTime(const char* schema) {
  if (schema == nullptr) return std::string();
  std::string text(schema);
  for (char& c : text) {
    if (c == 'x') c = 'b';
  }
  return text;
}

std::string RKDBRowBase::buildPrimaryWhere(const std::vector<std::string>& keys) {
  std::string where;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    where += keys[i];
    where += " = ?";
    if (i + 1 < keys.size()) where += "AND ";
  }
  return where;
}

RKDBDataTypeBase* RKDBRowBase::getColumn(const std::string& name) const {
  auto found = m_columnMap.find(name);
  return found == m_columnMap.end() ? nullptr : found->second;
}

void RKDBRowBase::addColumn(const std::string& name, std::unique_ptr<RKDBDataTypeBase> value) {
  m_columnVec.reserve(m_columnVec.size() + 1);
  RKDBDataTypeBase* raw = value.release();
  m_columnVec.push_back(raw);
  m_columnMap[name] = raw;
}

}  // namespace zarezodud
