#include "platform/odbc/odbc_handles.h"

#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace zarezodud {

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)),
      m_kind(other.m_kind),
      m_connected(std::exchange(other.m_connected, false)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    reset();
    m_handle = std::exchange(other.m_handle, nullptr);
    m_kind = other.m_kind;
    m_connected = std::exchange(other.m_connected, false);
  }
  return *this;
}

short OdbcHandle::odbcType() const {
  switch (m_kind) {
    case Kind::kEnvironment:
      return SQL_HANDLE_ENV;
    case Kind::kConnection:
      return SQL_HANDLE_DBC;
    case Kind::kStatement:
      return SQL_HANDLE_STMT;
  }
  return SQL_HANDLE_ENV;
}

bool OdbcHandle::allocate(Kind kind, const OdbcHandle* parent) {
  reset();
  m_kind = kind;
  SQLHANDLE input = parent ? parent->get() : SQL_NULL_HANDLE;
  SQLHANDLE out = SQL_NULL_HANDLE;
  SQLRETURN rc = SQLAllocHandle(odbcType(), input, &out);
  if (!SQL_SUCCEEDED(rc) || out == SQL_NULL_HANDLE) return false;
  m_handle = out;
  if (kind == Kind::kEnvironment) {
    rc = SQLSetEnvAttr(out, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(rc)) {
      reset();
      return false;
    }
  }
  return true;
}

void OdbcHandle::reset() {
  if (m_handle == nullptr) return;
  if (m_kind == Kind::kConnection && m_connected) SQLDisconnect(m_handle);
  SQLFreeHandle(odbcType(), m_handle);
  m_handle = nullptr;
  m_connected = false;
}

}  // namespace zarezodud
