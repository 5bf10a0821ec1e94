#include "support/engine_harness.h"

namespace ztest {

namespace {

const char kProductConfig[] =
    "[SupportedProducts]\n"
    "ProductName = Corehub\n"
    "[Corehub]\n"
    "DBName = Corehub\n"
    "BaseRegistryPath = Base\n"
    "RegistryPathForDBAccess = Database\n"
    "RegistryNameForDSN = sDSN\n"
    "RegistryNameForSQLInstance = sInstance\n"
    "RegistryNameForSQLUser = sUser\n";

}  // namespace

EngineHarness::EngineHarness()
    : driver_("ZAREZODUD_ODBC_DRIVER", "Scripted Test Driver"),
      outputDir_("ZAREZODUD_OUTPUT_DIR", output_.path()) {
  tree_.write("config/product.ini", kProductConfig);
}

ZARezodudParams EngineHarness::params() const {
  ZARezodudParams p = tree_.params();
  p.setProductConfigFile(tree_.path("config/product.ini"));
  p.setProductName("Corehub");
  p.setDBServer("SQL Server");
  p.setSQLInstance("srv");
  p.setDBname("Corehub");
  p.setUserId("sa");
  p.setPassword("pw");
  return p;
}

std::unique_ptr<INIFileProcessor> EngineHarness::processor(int progressFlag) const {
  return processor(params(), progressFlag);
}

std::unique_ptr<INIFileProcessor> EngineHarness::processor(const ZARezodudParams& p, int progressFlag) const {
  return std::make_unique<INIFileProcessor>(p, progressFlag);
}

std::vector<std::string> EngineHarness::executed() {
  std::vector<std::string> entries;
  for (const std::string& text : fake_.script().texts) {
    const size_t mark = text.rfind("-- ");
    if (mark == std::string::npos) continue;
    std::string entry = text.substr(mark + 3);
    while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r')) entry.pop_back();
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace ztest
