#include "platform/odbc/rk_simple_db_conn_object.h"

#include <mutex>
#include <utility>

#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"

RKSimpleDBConnObject::~RKSimpleDBConnObject() = default;

std::string RKSimpleDBConnObject::DetectSQLNativeClientDriverVersion() {
  try {
    return zarezodud::detectSqlServerDriver();
  } catch (...) {
    return zarezodud::preferredSqlServerDrivers().front();
  }
}

namespace zarezodud {

SQLParam SQLParam::ofInt32(std::int32_t v) {
  SQLParam p;
  p.type = Type::kInt32;
  p.integer = v;
  return p;
}

SQLParam SQLParam::ofInt64(std::int64_t v) {
  SQLParam p;
  p.type = Type::kInt64;
  p.integer = v;
  return p;
}

SQLParam SQLParam::ofText(std::string v) {
  SQLParam p;
  p.type = Type::kText;
  p.text = std::move(v);
  return p;
}

SQLParam SQLParam::ofTimestamp(const SQLTimestamp& v) {
  SQLParam p;
  p.type = Type::kTimestamp;
  p.timestamp = v;
  return p;
}

SQLParam SQLParam::nullOf(Type t) {
  SQLParam p;
  p.type = t;
  p.isNull = true;
  return p;
}

namespace {

std::mutex& factoryMutex() {
  static std::mutex m;
  return m;
}

SQLConnectionFactory& currentFactory() {
  static SQLConnectionFactory factory;
  return factory;
}

}  // namespace

RKSimpleDBConnObject* createSQLConnection() {
  SQLConnectionFactory factory;
  {
    std::lock_guard<std::mutex> lock(factoryMutex());
    factory = currentFactory();
  }
  RKSimpleDBConnObject* made = factory ? factory() : nullptr;
  return made ? made : new OdbcConnection();
}

SQLConnectionFactory setSQLConnectionFactory(SQLConnectionFactory factory) {
  std::lock_guard<std::mutex> lock(factoryMutex());
  return std::exchange(currentFactory(), std::move(factory));
}

}  // namespace zarezodud
