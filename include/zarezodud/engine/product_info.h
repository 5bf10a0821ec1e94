// ProductInfo: the fifteen values of one product section of the product configuration file,
// each named after its key. A plain value type.
#ifndef ZAREZODUD_ENGINE_PRODUCT_INFO_H
#define ZAREZODUD_ENGINE_PRODUCT_INFO_H

#include <string>

#include "export.h"

struct ZAREZODUD_API ProductInfo {
  std::string DBName;
  std::string DBServer;
  std::string Directory;
  std::string CommonScriptsDir;
  std::string DBValidationTableName;
  std::string BaseRegistryPath;
  std::string RegistryPathForDBAccess;
  std::string RegistryNameForDSN;
  std::string RegistryNameForSQLInstance;
  std::string RegistryNameForSQLUser;
  std::string RegistryPathForUpdateSummary;
  std::string RegistryPathForZARezodudPkgUpdateSummary;
  std::string RegistryNameForSPLevel;
  std::string RegistryPathForSoftwareCache;
  std::string RegistryNameForSoftwareCache;

  // Sets all fifteen values to the empty string.
  void clear() { *this = ProductInfo(); }
};

#endif
