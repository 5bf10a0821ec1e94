// A product-services double that records every call and answers as told, and a guard that
// installs a services object for one test and puts the previous one back.
//
//   ztest::RecordingProductServices services;
//   ztest::ScopedProductServices installed(services);
//   services.fail("CreateCLRFunctions", "no assembly");   // that service fails from now on
//   ... run the code under test ...
//   EXPECT_EQ(services.calls, (std::vector<std::string>{"CreateCLRFunctions", ...}));
//
// Client objects it makes record "client.lookup", "client.setPassword" and "client.update" in
// calls; fail("client.lookup", ...) or fail("client.update", ...) makes those fail. The last
// password given to a client is kept in clientPassword (compare it without printing it).
//
// Thread-safety: none; use from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_RECORDING_PRODUCT_SERVICES_H
#define ZAREZODUD_TESTS_SUPPORT_RECORDING_PRODUCT_SERVICES_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/product_services.h"

namespace ztest {

class RecordingProductServices : public zarezodud::ProductServices {
 public:
  // Makes the service named service (its member name) fail with error from now on.
  void fail(const std::string& service, const std::string& error) { failures[service] = error; }

  bool populateServer(DBQueries& db, std::string& error) override;
  int UpdateVersionString(DBQueries& db, int mode, std::string& error) override;
  int CreateCACertificate(unsigned long release, std::string& error, int flags) override;
  int CreateCLRFunctions(DBQueries& db, std::string& error, int flags) override;
  int UpgradeTransportModeForVMWare(DBQueries& db, std::string& error, int flags) override;
  bool UpgradeVirtualServerAgentOnCH(DBQueries& db, std::string& error) override;
  int simPopulateQuasarEventMessages(DBQueries& db, const char* path) override;
  std::unique_ptr<zarezodud::RKClient> createClient(DBQueries& db, int id) override;

  // Records service; true when it succeeds, else false with error set.
  bool answer(const char* service, std::string& error);

  std::vector<std::string> calls;           // service names, in call order
  std::vector<std::string> paths;           // the paths given to simPopulateQuasarEventMessages
  std::vector<const DBQueries*> databases;  // the DBQueries given to each database service
  std::map<std::string, std::string> failures;
  std::vector<int> clientIds;  // the id of each client made
  std::string clientPassword;  // the last password a client was given
};

class ScopedProductServices {
 public:
  explicit ScopedProductServices(zarezodud::ProductServices& services);
  ~ScopedProductServices();
  ScopedProductServices(const ScopedProductServices&) = delete;
  ScopedProductServices& operator=(const ScopedProductServices&) = delete;

 private:
  zarezodud::ProductServices* previous_;
};

}  // namespace ztest

#endif
