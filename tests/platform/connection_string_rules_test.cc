#include "platform/odbc/connection_string_rules.h"

#include <gtest/gtest.h>

#include "platform/odbc/odbc_driver_detection.h"

namespace zarezodud {
namespace {

TEST(MaskPasswords, HidesEveryPasswordValue) {
  EXPECT_EQ(maskPasswords("Server=s;UID=u;PWD=abc;APP=x"), "Server=s;UID=u;PWD=*****;APP=x");
  EXPECT_EQ(maskPasswords("pwd=abc"), "pwd=*****");
  EXPECT_EQ(maskPasswords("Password = abc;PWD=def"), "Password =*****;PWD=*****");
  EXPECT_EQ(maskPasswords("PWD={a;b}}c};UID=x"), "PWD=*****;UID=x") << "braced value with ; and }}";
  EXPECT_EQ(maskPasswords("PWD=;UID=x"), "PWD=*****;UID=x");
  EXPECT_EQ(maskPasswords("failed [PWD=ab]cd]\nnext line"), "failed [PWD=*****\nnext line")
      << "a bracket inside a password must not end the masking";
  EXPECT_EQ(maskPasswords("connection string [UID=u;PWD=p1;X=1] and [PWD=p2]"),
            "connection string [UID=u;PWD=*****;X=1] and [PWD=*****");
}

TEST(QuoteConnectionValue, PlainTokensStayAndEverythingElseIsBraced) {
  EXPECT_EQ(quoteConnectionValue("Secret1!"), "Secret1!");
  EXPECT_EQ(quoteConnectionValue("srv\\inst,1433"), "srv\\inst,1433");
  EXPECT_EQ(quoteConnectionValue(""), "");
  EXPECT_EQ(quoteConnectionValue("zz;Database=x"), "{zz;Database=x}");
  EXPECT_EQ(quoteConnectionValue("a}b{"), "{a}}b{}");
  EXPECT_EQ(quoteConnectionValue("two words"), "{two words}");
  EXPECT_EQ(quoteConnectionValue("caf\xc3\xa9"), "{caf\xc3\xa9}");
}

TEST(QuoteConnectionValue, EveryQuotedValueReadsBackAsOneAttribute) {
  for (const std::string value :
       {"zz;Database=InjectedDB", "{a;b=c}}", "}", "{", "=;", " lead", "x}};UID=y"}) {
    const std::string text =
        "UID=" + quoteConnectionValue(value) + ";PWD=p;Database=" + quoteConnectionValue(value) + ";APP=z";
    std::string read;
    ASSERT_TRUE(findConnectionAttribute(text, "UID", read)) << text;
    EXPECT_EQ(read, value) << text;
    ASSERT_TRUE(findConnectionAttribute(text, "Database", read)) << text;
    EXPECT_EQ(read, value) << text;
    ASSERT_TRUE(findConnectionAttribute(text, "PWD", read)) << text;
    EXPECT_EQ(read, "p") << text;
    ASSERT_TRUE(findConnectionAttribute(text, "APP", read)) << text;
    EXPECT_EQ(read, "z") << text;
    EXPECT_EQ(maskPasswords("UID=u;PWD=" + quoteConnectionValue(value) + ";APP=z"), "UID=u;PWD=*****;APP=z");
  }
  EXPECT_TRUE(hasUncarriableCharacter(std::string("a\0b", 3)));
  EXPECT_TRUE(hasUncarriableCharacter("a\nb"));
  EXPECT_TRUE(hasUncarriableCharacter("a\rb"));
  EXPECT_FALSE(hasUncarriableCharacter("a;{}=b"));
}

TEST(AdaptConnectionString, FreeTdsGetsUnescapedBracesAndRefusesWhatItCannotRead) {
  std::string out, key;
  const std::string standard = "Driver={FreeTDS};Server=h,1;Database={a;b};UID=u;PWD={x}}y{;z=};APP=p";
  ASSERT_TRUE(adaptConnectionStringToDriver(standard, out, key));
  EXPECT_EQ(out, "Driver={FreeTDS};Server=h,1;Database={a;b};UID=u;PWD={x}y{;z=};APP=p;");
  EXPECT_EQ(maskPasswords(out), "Driver={FreeTDS};Server=h,1;Database={a;b};UID=u;PWD=*****;APP=p;");
  // A value ending in '}' still ends where FreeTDS ends it: at the "};" of the next attribute.
  ASSERT_TRUE(adaptConnectionStringToDriver("Driver={FreeTDS};PWD={ab}}}", out, key));
  EXPECT_EQ(out, "Driver={FreeTDS};PWD={ab}};");
  EXPECT_FALSE(adaptConnectionStringToDriver("Driver={FreeTDS};UID=u;PWD={a}};b}", out, key));
  EXPECT_EQ(key, "The PWD value holds \"};\", which the FreeTDS driver cannot take in a connection string.");
  // FreeTDS reads the bytes as ISO-8859-1: UTF-8 is turned into it, and what it cannot hold is refused.
  ASSERT_TRUE(adaptConnectionStringToDriver("Driver=FreeTDS;UID=j\xc3\xbcrg;PWD={caf\xc3\xa9}", out, key));
  EXPECT_EQ(out, "Driver={FreeTDS};UID={j\xfcrg};PWD={caf\xe9};");
  EXPECT_FALSE(adaptConnectionStringToDriver("Driver=FreeTDS;UID=u;PWD=\xe2\x82\xac", out, key));
  EXPECT_EQ(
      key,
      "The PWD value holds a character outside ISO-8859-1, which the FreeTDS driver cannot send at login.");
  // Other drivers read the ODBC rule: the string is left as it is.
  ASSERT_TRUE(adaptConnectionStringToDriver("Driver={ODBC Driver 18 for SQL Server};PWD={a}};b}", out, key));
  EXPECT_EQ(out, "Driver={ODBC Driver 18 for SQL Server};PWD={a}};b}");
}

TEST(MaskPasswords, LeavesOtherTextAlone) {
  EXPECT_EQ(maskPasswords("Login failed for user 'sa'."), "Login failed for user 'sa'.");
  EXPECT_EQ(maskPasswords("PWD is required"), "PWD is required");
  EXPECT_EQ(maskPasswords(""), "");
}

TEST(ConnectionAttributes, FindsValuesIgnoringCaseAndBraces) {
  std::string v;
  EXPECT_TRUE(findConnectionAttribute("Driver={ODBC Driver 18 for SQL Server};Server=h", "driver", v));
  EXPECT_EQ(v, "ODBC Driver 18 for SQL Server");
  EXPECT_TRUE(findConnectionAttribute("a=1; Server = h,1433 ;", "SERVER", v));
  EXPECT_EQ(v, "h,1433");
  EXPECT_TRUE(findConnectionAttribute("PWD={x;y}}z};UID=u", "UID", v));
  EXPECT_EQ(v, "u") << "a braced ';' does not end the attribute";
  EXPECT_FALSE(findConnectionAttribute("Server=h;PWD={x;TDS_Version=1}", "TDS_Version", v));
}

TEST(ComposeConnectionString, ExtrasFollowTheMarsPiece) {
  const std::string base =
      "Driver={X};Server=s;Database=d;UID=u;PWD=p;MARS_Connection=yes;AnsiNPW=Yes;APP=prog;";
  EXPECT_EQ(composeConnectionString(base, "TrustServerCertificate=yes"),
            "Driver={X};Server=s;Database=d;UID=u;PWD=p;MARS_Connection=yes;AnsiNPW=Yes;"
            "TrustServerCertificate=yes;APP=prog;");
  EXPECT_EQ(composeConnectionString(base, " ;A=1;B=2; "),
            "Driver={X};Server=s;Database=d;UID=u;PWD=p;MARS_Connection=yes;AnsiNPW=Yes;A=1;B=2;APP=prog;");
  EXPECT_EQ(composeConnectionString(base, ""), base);
  EXPECT_EQ(composeConnectionString("Driver={X};Server=s", "A=1"), "Driver={X};Server=s;A=1");
}

TEST(ComposeConnectionString, FreeTdsGetsProtocolVersionAndCharsetUnlessNamed) {
  EXPECT_EQ(composeConnectionString("Driver={FreeTDS};Server=h,1433;", ""),
            "Driver={FreeTDS};Server=h,1433;TDS_Version=7.4;ClientCharset=UTF-8");
  EXPECT_EQ(composeConnectionString("Driver={freetds};Server=h", "TDS_Version=8.0"),
            "Driver={freetds};Server=h;TDS_Version=8.0;ClientCharset=UTF-8");
  EXPECT_EQ(composeConnectionString("Driver={FreeTDS};Server=h;CharSet=latin1", ""),
            "Driver={FreeTDS};Server=h;CharSet=latin1;TDS_Version=7.4");
  EXPECT_EQ(composeConnectionString("Driver={FreeTDS};Server=h;ClientCharset=UTF-8;tds_version=7.2", ""),
            "Driver={FreeTDS};Server=h;ClientCharset=UTF-8;tds_version=7.2");
  EXPECT_EQ(composeConnectionString("Driver={ODBC Driver 18 for SQL Server};Server=h", ""),
            "Driver={ODBC Driver 18 for SQL Server};Server=h");
}

TEST(LoginTimeout, PositiveNumbersOnlyElseThirtySeconds) {
  EXPECT_EQ(loginTimeoutSeconds(nullptr), 30);
  EXPECT_EQ(loginTimeoutSeconds("5"), 5);
  EXPECT_EQ(loginTimeoutSeconds(" 12 "), 12);
  EXPECT_EQ(loginTimeoutSeconds("3600"), 3600);
  for (const char* bad : {"", "0", "-3", "abc", "7s", "99999", "3601"})
    EXPECT_EQ(loginTimeoutSeconds(bad), 30) << bad;
}

TEST(DriverChoice, OverrideThenPreferenceOrder) {
  EXPECT_EQ(chooseSqlServerDriver({"FreeTDS", "ODBC Driver 17 for SQL Server"}, ""),
            "ODBC Driver 17 for SQL Server");
  EXPECT_EQ(chooseSqlServerDriver({"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"}, ""),
            "ODBC Driver 18 for SQL Server");
  EXPECT_EQ(chooseSqlServerDriver({"SQLite3", "freetds"}, ""), "FreeTDS");
  EXPECT_EQ(chooseSqlServerDriver({"SQLite3"}, ""), "ODBC Driver 18 for SQL Server") << "none installed";
  EXPECT_EQ(chooseSqlServerDriver({"FreeTDS"}, " Custom Driver "), "Custom Driver");
}

}  // namespace
}  // namespace zarezodud
