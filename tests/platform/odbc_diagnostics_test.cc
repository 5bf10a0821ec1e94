// When opening a connection is worth trying again: unreachable or silent servers are, a server
// that refused the credentials is not (each retry would count towards account lockout).
#include "platform/odbc/odbc_diagnostics.h"

#include <gtest/gtest.h>

namespace zarezodud {
namespace {

OdbcDiagnostic record(const std::string& state, long native) {
  OdbcDiagnostic d;
  d.state = state;
  d.nativeError = native;
  return d;
}

TEST(ConnectRetryTest, UnreachableOrTimedOutServersAreRetried) {
  EXPECT_TRUE(isConnectRetryable({record("08001", 0)}));
  EXPECT_TRUE(isConnectRetryable({record("08S01", 20009)}));
  EXPECT_TRUE(isConnectRetryable({record("HYT00", 0)}));
  EXPECT_TRUE(isConnectRetryable({record("01000", 0), record("HYT01", 0)}));
  EXPECT_FALSE(isConnectRetryable({}));
  EXPECT_FALSE(isConnectRetryable({record("42S02", 208)}));
}

TEST(ConnectRetryTest, RefusedLoginsAreNotRetriedEvenWithAConnectionRecord) {
  // The order one driver reports a wrong password in: the server's 18456, then 08001.
  EXPECT_FALSE(isConnectRetryable({record("42000", 18456), record("08001", 0)}));
  EXPECT_FALSE(isConnectRetryable({record("08001", 0), record("28000", 18456)}));
  EXPECT_FALSE(isConnectRetryable({record("28000", 0)}));
  for (long native : {18486L, 18487L, 18488L}) {
    EXPECT_FALSE(isConnectRetryable({record("42000", native), record("08001", 0)})) << native;
  }
}

TEST(ConversionDiagnosticTest, TheDriversCharacterConversionReportsAreRecognised) {
  OdbcDiagnostic d = record("HY000", 2402);
  d.message =
      "[FreeTDS][SQL Server]Error converting characters into server's character set. Some character(s) could "
      "not be converted";
  EXPECT_TRUE(isCharacterConversionDiagnostic(d));
  d.nativeError = 2403;
  d.message = "[FreeTDS][SQL Server]Some character(s) could not be converted into client's character set.";
  EXPECT_TRUE(isCharacterConversionDiagnostic(d));
  // The number alone or the words alone are something else.
  d.message = "[FreeTDS][SQL Server]Cannot insert duplicate key";
  EXPECT_FALSE(isCharacterConversionDiagnostic(d));
  d = record("22018", 245);
  d.message = "Conversion failed when converting the varchar value 'x' to data type int.";
  EXPECT_FALSE(isCharacterConversionDiagnostic(d));
}

}  // namespace
}  // namespace zarezodud
