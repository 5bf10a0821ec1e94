#include "support/recording_product_services.h"

namespace ztest {

bool RecordingProductServices::answer(const char* service, std::string& error) {
  calls.push_back(service);
  const auto failure = failures.find(service);
  if (failure == failures.end()) return true;
  error = failure->second;
  return false;
}

bool RecordingProductServices::populateServer(DBQueries& db, std::string& error) {
  databases.push_back(&db);
  return answer("populateServer", error);
}

int RecordingProductServices::UpdateVersionString(DBQueries& db, int, std::string& error) {
  databases.push_back(&db);
  return answer("UpdateVersionString", error) ? 0 : 1;
}

int RecordingProductServices::CreateCACertificate(unsigned long, std::string& error, int) {
  return answer("CreateCACertificate", error) ? 0 : 1;
}

int RecordingProductServices::CreateCLRFunctions(DBQueries& db, std::string& error, int) {
  databases.push_back(&db);
  return answer("CreateCLRFunctions", error) ? 0 : 1;
}

int RecordingProductServices::UpgradeTransportModeForVMWare(DBQueries& db, std::string& error, int) {
  databases.push_back(&db);
  return answer("UpgradeTransportModeForVMWare", error) ? 0 : 1;
}

bool RecordingProductServices::UpgradeVirtualServerAgentOnCH(DBQueries& db, std::string& error) {
  databases.push_back(&db);
  return answer("UpgradeVirtualServerAgentOnCH", error);
}

int RecordingProductServices::simPopulateQuasarEventMessages(DBQueries& db, const char* path) {
  databases.push_back(&db);
  paths.push_back(path != nullptr ? path : "<null>");
  std::string error;
  return answer("simPopulateQuasarEventMessages", error) ? 0 : 1;
}

ScopedProductServices::ScopedProductServices(zarezodud::ProductServices& services)
    : previous_(zarezodud::setProductServices(&services)) {}

ScopedProductServices::~ScopedProductServices() { zarezodud::setProductServices(previous_); }

}  // namespace ztest
