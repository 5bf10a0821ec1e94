#include "support/recording_product_services.h"

namespace ztest {

namespace {

class RecordingClient : public zarezodud::RKClient {
 public:
  explicit RecordingClient(RecordingProductServices& services) : services_(services) {}
  int lookup(zarezodud::DBtran*) override { return services_.answer("client.lookup", error_) ? 0 : 1; }
  void setPassword(const char* password) override {
    std::string unused;
    services_.answer("client.setPassword", unused);
    services_.clientPassword = password != nullptr ? password : "";
  }
  int update(zarezodud::DBtran*) override { return services_.answer("client.update", error_) ? 0 : 1; }
  std::string getErrorStr() const override { return error_; }

 private:
  RecordingProductServices& services_;
  std::string error_;
};

}  // namespace

std::unique_ptr<zarezodud::RKClient> RecordingProductServices::createClient(DBQueries& db, int id) {
  databases.push_back(&db);
  clientIds.push_back(id);
  return std::unique_ptr<zarezodud::RKClient>(new RecordingClient(*this));
}

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
