// The one place where ODBC diagnostic records are read and turned into messages.
//
// Thread-safety: functions are thread-safe as long as the handle is not used concurrently.
#ifndef ZAREZODUD_PLATFORM_ODBC_ODBC_DIAGNOSTICS_H
#define ZAREZODUD_PLATFORM_ODBC_ODBC_DIAGNOSTICS_H

#include <string>
#include <vector>

#include "base/status.h"
#include "platform/odbc/odbc_handles.h"

namespace zarezodud {

// One diagnostic record as the driver gives it (message text with passwords masked).
struct OdbcDiagnostic {
  std::string state;  // five-character SQLSTATE
  long nativeError = 0;
  std::string message;
  int recNum = 0;    // 1-based record number within the call
  int line = 0;      // the server's line within the batch, 0 when the driver gives none
  int severity = 0;  // the server's severity of the message, 0 when the driver gives none
};

// Every diagnostic record the last call on handle left, in order. With wantLine the
// server's line number and the message's severity are asked for each record (drivers that
// do not know them give 0).
std::vector<OdbcDiagnostic> collectDiagnostics(const OdbcHandle& handle, bool wantLine);

// A one-line account of records for an error text: "<message> (SQLState <s>, native error
// <n>)" joined by "; "; fallback when there are none.
std::string describeDiagnostics(const std::vector<OdbcDiagnostic>& records, const std::string& fallback);

// The checked-call idiom: every ODBC return code that can fail goes through here. Ok when rc
// is SQL_SUCCESS or SQL_SUCCESS_WITH_INFO; otherwise a failure whose message is
// odbcFailureText(handle, what). Records with information only stay with the handle for
// callers that read them (a script run collects them all).
Status checkOdbcCall(short rc, const OdbcHandle& handle, const std::string& what);

// "<what>: <the diagnostic records of handle's last call>" ("no details." when there are none).
std::string odbcFailureText(const OdbcHandle& handle, const std::string& what);

// True when the state says the server could not be reached or did not answer in time
// (class 08, HYT00, HYT01), i.e. when trying the open again may help. False whenever the
// server refused the login itself (SQLSTATE 28000, or native errors 18456 login failed,
// 18486 account locked, 18487/18488 password expired or to be changed): the same
// credentials would fail again, and every further attempt counts towards the server's
// account-lockout threshold. Some drivers add an 08001 record after such a refusal.
bool isConnectRetryable(const std::vector<OdbcDiagnostic>& records);

// True for the driver's report that it could not convert text between the client's and the
// server's character set (FreeTDS: native errors 2400 to 2404, "Error converting characters
// into server's character set..."). Such a driver may send a batch cut at the first character
// it could not convert, or hand back altered text; the call must count as failed although the
// driver only returned SQL_SUCCESS_WITH_INFO.
bool isCharacterConversionDiagnostic(const OdbcDiagnostic& record);

}  // namespace zarezodud

#endif
