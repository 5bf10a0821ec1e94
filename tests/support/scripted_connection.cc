#include "support/scripted_connection.h"

#include <cstdio>
#include <ctime>

#include "db/rows/rkdb_data_types.h"
#include "platform/odbc/temp_output_file.h"

namespace ztest {

using zarezodud::ColumnTarget;

ScriptedReply& ConnectionScript::reply() {
  replies.emplace_back();
  return replies.back();
}

void ConnectionScript::failNext(const std::string& error) {
  ScriptedReply& r = reply();
  r.ok = false;
  r.error = error;
}

void ConnectionScript::rowNext(const std::string& value) { reply().rows.push_back(ScriptedRow{value}); }

int ConnectionScript::count(const std::string& name) const {
  int n = 0;
  for (const std::string& c : calls) n += c == name ? 1 : 0;
  return n;
}

ScriptedReply ConnectionScript::next() {
  if (replies.empty()) return ScriptedReply();
  ScriptedReply r = std::move(replies.front());
  replies.pop_front();
  return r;
}

ScriptedConnection::ScriptedConnection(ConnectionScript& script) : script_(script) { ++script_.made; }

ScriptedConnection::~ScriptedConnection() { ++script_.destroyed; }

void ScriptedConnection::setNumConnectAttempts(int attempts) {
  script_.calls.push_back("setNumConnectAttempts");
  script_.connectAttempts = attempts;
}

int ScriptedConnection::OpenSQLConnectionUsingConnectionString(const std::string& connectionString, bool) {
  script_.calls.push_back("OpenSQLConnectionUsingConnectionString");
  script_.connectionStrings.push_back(connectionString);
  open_ = script_.openResult == 0;
  lastError_ = open_ ? "" : script_.openError;
  return script_.openResult;
}

void ScriptedConnection::setUseSQLDefaultCursorType(bool) {
  script_.calls.push_back("setUseSQLDefaultCursorType");
}

int ScriptedConnection::cancel() {
  ++script_.cancels;
  return open_ ? 0 : 1;
}

bool ScriptedConnection::take(const char* call, const std::string& text, bool writeMessages) {
  script_.calls.push_back(call);
  script_.texts.push_back(text);
  ScriptedReply r = script_.next();
  rows_ = r.rows;
  affectedRows_ = r.affectedRows;
  interruption_ = r.interruption;
  interruptedLine_ = r.interruptedLine;
  if (r.closesConnection) open_ = false;
  errorLine_ = r.errorLine;
  nextRow_ = 0;
  resultOpen_ = r.ok;
  columns_.clear();
  bound_ = false;
  if (writeMessages && !r.messages.empty()) {
    zarezodud::TempOutputFile out;
    std::string error;
    if (!out.open(error)) {
      lastError_ = error;
      return false;
    }
    int recNum = 0;
    for (const ScriptedMessage& m : r.messages) {
      out.append(zarezodud::formatMessageRecord(std::time(nullptr), m.state, m.nativeError, m.text, ++recNum,
                                                m.line));
    }
  }
  if (!r.ok) lastError_ = r.error;
  return r.ok;
}

int ScriptedConnection::executeQueryForZARezodud(const std::string& text, int* returnCode) {
  const int code = script_.replies.empty() ? 0 : script_.replies.front().returnCode;
  const bool ok = take("executeQueryForZARezodud", text, true);
  if (returnCode) *returnCode = code;
  return ok ? 1 : 0;
}

int ScriptedConnection::executeQuery(const std::string& text, bool) {
  return take("executeQuery", text, false) ? 0 : 1;
}

int ScriptedConnection::executeWithParams(const std::string& text,
                                          const std::vector<zarezodud::SQLParam>& params) {
  script_.params.push_back(params);
  return take("executeWithParams", text, false) ? 0 : 1;
}

int ScriptedConnection::getSingleRowStringResult(std::string& value) {
  script_.calls.push_back("getSingleRowStringResult");
  return singleRow(value);
}

int ScriptedConnection::singleRow(std::string& value) {
  if (!resultOpen_ || rows_.empty() || rows_[0].empty()) {
    lastError_ = "The query returned no row.";
    return 1;
  }
  if (!rows_[0][0]) {
    lastError_ = "The single-row result is NULL.";
    return 1;
  }
  value = *rows_[0][0];
  resultOpen_ = false;
  return 0;
}

int ScriptedConnection::getSingleRowIntResult(int& value) {
  script_.calls.push_back("getSingleRowIntResult");
  std::string text;
  if (singleRow(text) != 0) return 1;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') {
    lastError_ = "The single-row result [" + text + "] is not an integer.";
    return 1;
  }
  value = static_cast<int>(v);
  return 0;
}

int ScriptedConnection::RKDBVar_addCol(ColumnTarget* column, int) {
  script_.calls.push_back("RKDBVar_addCol");
  columns_.push_back(column);
  return 0;
}

int ScriptedConnection::RKDBVar_bind() {
  script_.calls.push_back("RKDBVar_bind");
  bound_ = resultOpen_ && !columns_.empty();
  if (!bound_) lastError_ = "No result set is open to bind columns to.";
  return bound_ ? 0 : 1;
}

int ScriptedConnection::getNextRow() {
  script_.calls.push_back("getNextRow");
  if (!bound_) {
    lastError_ = "No bound result set to read from.";
    return -1;
  }
  if (nextRow_ >= rows_.size()) return 1;
  const ScriptedRow& row = rows_[nextRow_++];
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    ColumnTarget* c = columns_[i];
    const std::optional<std::string> value = i < row.size() ? row[i] : std::nullopt;
    if (!value) {
      c->setFetchedNull(true);
      if (indicators_) indicators_[i] = -1;
      continue;
    }
    c->setFetchedNull(false);
    int length = 0;
    switch (c->getDataType()) {
      case zarezodud::RKDB_TYPE_INT: {
        const std::int32_t v = static_cast<std::int32_t>(std::stol(*value));
        length = sizeof v;
        c->setData(reinterpret_cast<const char*>(&v), 0, length, false);
        break;
      }
      case zarezodud::RKDB_TYPE_INT64: {
        const long long v = std::stoll(*value);
        length = sizeof v;
        c->setData(reinterpret_cast<const char*>(&v), 0, length, false);
        break;
      }
      case zarezodud::RKDB_TYPE_DATETIME: {
        zarezodud::RKTIMESTAMP_STRUCT ts;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
        std::sscanf(value->c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms);
        ts.year = static_cast<std::int16_t>(y);
        ts.month = static_cast<std::uint16_t>(mo);
        ts.day = static_cast<std::uint16_t>(d);
        ts.hour = static_cast<std::uint16_t>(h);
        ts.minute = static_cast<std::uint16_t>(mi);
        ts.second = static_cast<std::uint16_t>(s);
        ts.fraction = static_cast<std::uint32_t>(ms) * 1000000u;
        length = sizeof ts;
        c->setData(reinterpret_cast<const char*>(&ts), 0, length, false);
        break;
      }
      default:
        length = static_cast<int>(value->size());
        c->setData(value->data(), 0, length, false);
        break;
    }
    if (indicators_) indicators_[i] = length;
  }
  return 0;
}

int ScriptedConnection::closeCursor() {
  script_.calls.push_back("closeCursor");
  resultOpen_ = false;
  bound_ = false;
  return 0;
}

void ScriptedConnection::setExtIndicatorArray(void* indicators) {
  indicators_ = static_cast<std::int64_t*>(indicators);
}

std::string ScriptedConnection::getDBMSName() { return script_.dbmsName; }

long long ScriptedConnection::getAffectedRowCount() { return affectedRows_; }

ScopedScriptedConnections::ScopedScriptedConnections() {
  ConnectionScript* script = &script_;
  previous_ = zarezodud::setSQLConnectionFactory([script]() { return new ScriptedConnection(*script); });
}

ScopedScriptedConnections::~ScopedScriptedConnections() { zarezodud::setSQLConnectionFactory(previous_); }

}  // namespace ztest
