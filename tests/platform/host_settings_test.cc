#include "platform/settings/host_settings.h"

#include <gtest/gtest.h>

#include "support/env_override.h"

namespace zarezodud {
namespace {

// Restores the process-wide settings a test changed.
class HostSettingsTest : public ::testing::Test {
 protected:
  void TearDown() override { setHostSettings(saved_); }
  HostSettings saved_ = hostSettings();
};

TEST_F(HostSettingsTest, UnsetSettingsFollowTheEnvironmentThenTheDefaults) {
  setHostSettings(HostSettings());
  {
    ztest::EnvOverride root("ZAREZODUD_REGISTRY_DIR", "/srv/reg//");
    ztest::EnvOverride instance("ZAREZODUD_INSTANCE", "Instance002");
    ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR", "/srv/out");
    ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "  FreeTDS ");
    ztest::EnvOverride extras("ZAREZODUD_ODBC_ATTRIBUTES", "Encrypt=no");
    ztest::EnvOverride timeout("ZAREZODUD_LOGIN_TIMEOUT", "7");
    ztest::EnvOverride level("ZAREZODUD_DEBUG_LEVEL", "9");
    EXPECT_EQ(effectiveRegistryDirectory(), "/srv/reg");
    EXPECT_EQ(effectiveInstance(), "Instance002");
    EXPECT_EQ(effectiveOutputDirectory(), "/srv/out/");
    EXPECT_EQ(effectiveOdbcDriver(), "FreeTDS");
    EXPECT_EQ(effectiveOdbcAttributes(), "Encrypt=no");
    EXPECT_EQ(effectiveLoginTimeoutSeconds(), 7);
    EXPECT_EQ(effectiveDebugLevel(), 9);
  }
  ztest::EnvOverride root("ZAREZODUD_REGISTRY_DIR");
  ztest::EnvOverride instance("ZAREZODUD_INSTANCE");
  ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR");
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER");
  ztest::EnvOverride extras("ZAREZODUD_ODBC_ATTRIBUTES");
  ztest::EnvOverride timeout("ZAREZODUD_LOGIN_TIMEOUT", "0");  // out of range: the default
  ztest::EnvOverride level("ZAREZODUD_DEBUG_LEVEL", "high");
  EXPECT_EQ(effectiveRegistryDirectory(), "/etc/zarezodud/registry");
  EXPECT_EQ(effectiveInstance(), "default");
  EXPECT_EQ(effectiveOutputDirectory(), "/tmp/.qxsetup/");
  EXPECT_EQ(effectiveOdbcDriver(), "");
  EXPECT_EQ(effectiveOdbcAttributes(), "");
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 30);
  EXPECT_EQ(effectiveDebugLevel(), 5);
}

TEST_F(HostSettingsTest, HostValuesWinOverTheEnvironmentAndAnObjectsOwnWinForItsFields) {
  ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR", "/from/env");
  ztest::EnvOverride timeout("ZAREZODUD_LOGIN_TIMEOUT", "7");
  HostSettings host;
  host.outputDirectory = "/from/host";
  host.loginTimeoutSeconds = 12;
  host.registryDirectory = "/host/reg";
  ASSERT_TRUE(setHostSettings(host));
  EXPECT_EQ(effectiveOutputDirectory(), "/from/host/");
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 12);
  EXPECT_EQ(effectiveRegistryDirectory(), "/host/reg");

  HostSettings own;
  own.outputDirectory = "/own";
  own.odbcAttributes = "TrustServerCertificate=yes";
  EXPECT_EQ(effectiveOutputDirectory(&own), "/own/");
  EXPECT_EQ(effectiveOdbcAttributes(&own), "TrustServerCertificate=yes");
  EXPECT_EQ(effectiveLoginTimeoutSeconds(&own), 12) << "unset in the object: the host's";

  // Refused values change nothing.
  HostSettings bad = host;
  bad.loginTimeoutSeconds = 0;
  EXPECT_FALSE(setHostSettings(bad));
  bad = host;
  bad.outputDirectory = "";
  EXPECT_FALSE(setHostSettings(bad));
  EXPECT_EQ(effectiveOutputDirectory(), "/from/host/");
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 12);
}

TEST_F(HostSettingsTest, CSettersSetRefuseAndReturnToTheEnvironment) {
  setHostSettings(HostSettings());
  ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR", "/from/env");
  ztest::EnvOverride level("ZAREZODUD_DEBUG_LEVEL", "3");
  EXPECT_EQ(zarezodud_set_output_directory("/c/out"), 0);
  EXPECT_EQ(zarezodud_set_debug_level(-1), 0) << "a negative level is a level";
  EXPECT_EQ(zarezodud_set_login_timeout(4), 0);
  EXPECT_EQ(zarezodud_set_odbc_attributes(""), 0) << "no extra attributes, in place of the environment's";
  EXPECT_EQ(effectiveOutputDirectory(), "/c/out/");
  EXPECT_EQ(effectiveDebugLevel(), -1);
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 4);
  EXPECT_EQ(zarezodud_set_output_directory(""), -1);
  EXPECT_EQ(zarezodud_set_login_timeout(5000), -1);
  EXPECT_EQ(zarezodud_set_instance(""), -1);
  EXPECT_EQ(effectiveOutputDirectory(), "/c/out/");
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 4);

  EXPECT_EQ(zarezodud_set_output_directory(nullptr), 0);
  EXPECT_EQ(zarezodud_set_debug_level(2000000), 0);
  EXPECT_EQ(zarezodud_set_login_timeout(-1), 0);
  EXPECT_EQ(effectiveOutputDirectory(), "/from/env/");
  EXPECT_EQ(effectiveDebugLevel(), 3);
  EXPECT_EQ(effectiveLoginTimeoutSeconds(), 30);
}

}  // namespace
}  // namespace zarezodud
