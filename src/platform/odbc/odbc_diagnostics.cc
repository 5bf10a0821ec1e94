#include "platform/odbc/odbc_diagnostics.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "platform/odbc/connection_string_rules.h"

namespace zarezodud {
namespace {

// The SQL Server drivers' per-record line number field (driver-specific diagnostic field).
constexpr SQLSMALLINT kDiagServerLine = -1154;
// ... and its severity field.
constexpr SQLSMALLINT kDiagServerSeverity = -1151;

}  // namespace

std::vector<OdbcDiagnostic> collectDiagnostics(const OdbcHandle& handle, bool wantLine) {
  std::vector<OdbcDiagnostic> records;
  if (!handle) return records;
  const SQLSMALLINT type = handle.odbcType();
  for (SQLSMALLINT rec = 1;; ++rec) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    std::string text(512, '\0');
    SQLSMALLINT textLength = 0;
    SQLRETURN rc =
        SQLGetDiagRec(type, handle.get(), rec, state, &native, reinterpret_cast<SQLCHAR*>(&text[0]),
                      static_cast<SQLSMALLINT>(text.size()), &textLength);
    if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE || rc == SQL_ERROR) break;
    if (textLength >= static_cast<SQLSMALLINT>(text.size())) {
      // Truncated: ask again with room for the whole text.
      text.assign(static_cast<std::size_t>(textLength) + 1, '\0');
      rc = SQLGetDiagRec(type, handle.get(), rec, state, &native, reinterpret_cast<SQLCHAR*>(&text[0]),
                         static_cast<SQLSMALLINT>(text.size()), &textLength);
      if (!SQL_SUCCEEDED(rc)) break;
    }
    if (textLength < 0) textLength = 0;
    text.resize(std::min<std::size_t>(static_cast<std::size_t>(textLength), text.size()));
    OdbcDiagnostic d;
    d.state.assign(reinterpret_cast<const char*>(state));
    d.nativeError = native;
    d.message = maskPasswords(text);
    d.recNum = rec;
    if (wantLine) {
      // Asked with a plain buffer length (not SQL_IS_INTEGER): drivers answer with a 16- or
      // 32-bit number; the zeroed 32-bit buffer reads right either way on little-endian.
      SQLINTEGER line = 0;
      SQLSMALLINT ignored = 0;
      if (SQL_SUCCEEDED(
              SQLGetDiagField(type, handle.get(), rec, kDiagServerLine, &line, sizeof line, &ignored)) &&
          line > 0) {
        d.line = line;
      }
      SQLINTEGER severity = 0;
      if (SQL_SUCCEEDED(SQLGetDiagField(type, handle.get(), rec, kDiagServerSeverity, &severity,
                                        sizeof severity, &ignored)) &&
          severity > 0 && severity <= 25) {
        d.severity = severity;
      }
    }
    records.push_back(std::move(d));
  }
  return records;
}

std::string describeDiagnostics(const std::vector<OdbcDiagnostic>& records, const std::string& fallback) {
  if (records.empty()) return fallback;
  std::string out;
  for (const OdbcDiagnostic& d : records) {
    if (!out.empty()) out += "; ";
    out += d.message + " (SQLState " + d.state + ", native error " + std::to_string(d.nativeError) + ")";
  }
  return out;
}

bool isCharacterConversionDiagnostic(const OdbcDiagnostic& record) {
  if (record.nativeError < 2400 || record.nativeError > 2404) return false;
  std::string lower = record.message;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("convert") != std::string::npos || lower.find("conversion") != std::string::npos;
}

bool isConnectRetryable(const std::vector<OdbcDiagnostic>& records) {
  for (const OdbcDiagnostic& d : records) {
    if (d.state == "28000" || d.nativeError == 18456 || d.nativeError == 18486 || d.nativeError == 18487 ||
        d.nativeError == 18488) {
      return false;
    }
  }
  for (const OdbcDiagnostic& d : records) {
    if (d.state.compare(0, 2, "08") == 0 || d.state == "HYT00" || d.state == "HYT01") return true;
  }
  return false;
}

Status checkOdbcCall(short rc, const OdbcHandle& handle, const std::string& what) {
  if (SQL_SUCCEEDED(rc)) return Status::Ok();
  return Status::Error(odbcFailureText(handle, what));
}

std::string odbcFailureText(const OdbcHandle& handle, const std::string& what) {
  return what + ": " + describeDiagnostics(collectDiagnostics(handle, false), "no details.");
}

}  // namespace zarezodud
