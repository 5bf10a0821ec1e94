// The processor's construction, setters and product configuration lookups.
#include <gtest/gtest.h>

#include "engine/ini_file_processor.h"
#include "log/utility_logger.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

const char kProductConfig[] =
    "[SupportedProducts]\n"
    "ProductName =  A , B,  , ,,C \n"
    "\n"
    "[A]\n"
    "DBName = CatalogA\n"
    "BaseRegistryPath = Base\n"
    "RegistryPathForDBAccess = Database\\Access\n"
    "RegistryNameForDSN = sDSN\n"
    "RegistryNameForSQLInstance = sInstance\n"
    "RegistryNameForSQLUser = sUser\n"
    "RegistryPathForUpdateSummary = Updates\n"
    "RegistryNameForSPLevel = nSPLevel\n"
    "RegistryPathForSoftwareCache = Cache\n"
    "RegistryNameForSoftwareCache = sCache\n"
    "\n"
    "[B]\n"
    "Unrelated = 1\n";

class ProductConfigTest : public ::testing::Test {
 protected:
  ProductConfigTest() {
    params.setProductConfigFile(dir.write("ProductConfig.ini", kProductConfig));
    params.setLogfile(dir.file("utility.log"));
  }
  ztest::TempDir dir;
  ZARezodudParams params;
};

TEST(ZARezodudParamsTest, TextSettersBoundAndTerminate) {
  ZARezodudParams p;
  EXPECT_EQ(p.productName(), "");
  p.setProductName(std::string(5000, 'x'));
  EXPECT_EQ(p.productName().size(), 2047u);
  ZARezodudParams copy = p;
  EXPECT_EQ(copy.productName(), p.productName());
  p.setProductName("short");
  EXPECT_EQ(copy.productName().size(), 2047u);
  EXPECT_EQ(p.productName(), "short");
}

TEST_F(ProductConfigTest, ConstructionStateAndCounterReset) {
  INIFileProcessor processor(params, 1);
  EXPECT_EQ(processor.getPercentCoverage(), 100);
  EXPECT_EQ(processor.getTotalScriptsCount(), 0);
  EXPECT_EQ(processor.getExecutedScriptsCount(), 0);
  EXPECT_EQ(processor.getRecutTime(), 0);
  processor.setPercentCoverage(40);
  processor.resetTotalScriptsCount();
  EXPECT_EQ(processor.getPercentCoverage(), 40);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), dir.file("utility.log"));
}

TEST_F(ProductConfigTest, SetParamsDoesNotMoveUtilityLog) {
  INIFileProcessor processor(params, 0);
  ZARezodudParams other = params;
  other.setLogfile(dir.file("elsewhere.log"));
  processor.setZARezodudParams(other);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), dir.file("utility.log"));
  EXPECT_EQ(processor.getZARezodudParams().logfile(), dir.file("elsewhere.log"));
}

TEST_F(ProductConfigTest, SupportedProductListFollowsCommaRule) {
  INIFileProcessor processor(params, 0);
  EXPECT_EQ(processor.getSupportedProductList(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(processor.isSupportedProduct("a"), 1u);
  EXPECT_EQ(processor.isSupportedProduct("D"), 0u);
}

TEST_F(ProductConfigTest, MissingSupportedSectionOrNamesAreReported) {
  ztest::UpgradeLogCapture log;
  params.setProductConfigFile(dir.write("NoNames.ini", "[SupportedProducts]\nProductName=\n"));
  INIFileProcessor processor(params, 0);
  EXPECT_TRUE(processor.getSupportedProductList().empty());
  EXPECT_TRUE(log.contains("Supported Product Names are missing in config file [" + dir.file("NoNames.ini") +
                           "]."));

  ZARezodudParams empty = params;
  empty.setProductConfigFile("");
  processor.setZARezodudParams(empty);
  EXPECT_TRUE(processor.getSupportedProductList().empty());
  EXPECT_TRUE(log.contains("Supported Product Info is missing in config file []."));
}

TEST_F(ProductConfigTest, ProductGettersReturnTheirKeys) {
  INIFileProcessor processor(params, 0);
  ProductInfo info;
  ASSERT_EQ(processor.readProductInfo("a", info), 1u);
  EXPECT_EQ(info.DBName, "CatalogA");
  EXPECT_EQ(info.Directory, "");

  std::string base, access, dsn, instance, user;
  ASSERT_EQ(processor.getDBConnectionInfo("A", base, access, dsn, instance, user), 1u);
  EXPECT_EQ(base + "|" + access + "|" + dsn + "|" + instance + "|" + user,
            "Base|Database\\Access|sDSN|sInstance|sUser");
  std::string updates, spLevel, cache, cacheName;
  ASSERT_EQ(processor.getUpdateInfo("A", base, updates, spLevel), 1u);
  EXPECT_EQ(updates + "|" + spLevel, "Updates|nSPLevel");
  ASSERT_EQ(processor.geSoftwareCacheInfo("A", base, cache, cacheName), 1u);
  EXPECT_EQ(cache + "|" + cacheName, "Cache|sCache");
}

TEST_F(ProductConfigTest, SectionWithoutKeysGivesEmptyValues) {
  INIFileProcessor processor(params, 0);
  std::string base = "x", access = "x", dsn = "x", instance = "x", user = "x";
  ASSERT_EQ(processor.getDBConnectionInfo("B", base, access, dsn, instance, user), 1u);
  EXPECT_EQ(base + access + dsn + instance + user, "");
}

TEST_F(ProductConfigTest, MissingProductLeavesOutputsAndLogsOncePerCall) {
  INIFileProcessor processor(params, 0);
  ztest::UpgradeLogCapture log;
  std::string base = "keep", access = "keep", dsn = "keep", instance = "keep", user = "keep";
  EXPECT_EQ(processor.getDBConnectionInfo("Nope", base, access, dsn, instance, user), 0u);
  EXPECT_EQ(processor.getUpdateInfo("Nope", base, access, dsn), 0u);
  EXPECT_EQ(base + access + dsn + instance + user, "keepkeepkeepkeepkeep");
  const std::string line = "Product Info is missing in config file [" + dir.file("ProductConfig.ini") +
                           "] for Product [Nope].";
  EXPECT_EQ(log.count(line), 2);
}

TEST_F(ProductConfigTest, EmptyProductConfigNameGoesToStdoutAndLog) {
  params.setProductConfigFile("");
  INIFileProcessor processor(params, 0);
  ztest::UpgradeLogCapture log;
  ztest::StdoutCapture out;
  ProductInfo info;
  info.DBName = "untouched";
  EXPECT_EQ(processor.readProductInfo("A", info), 0u);
  EXPECT_EQ(out.text(), "Product Config File Name is missing.\n");
  EXPECT_TRUE(log.contains("Product Config File Name is missing."));
  EXPECT_EQ(info.DBName, "untouched");
}

}  // namespace
