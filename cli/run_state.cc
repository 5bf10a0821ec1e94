#include "run_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "json_reader.h"
#include "json_writer.h"
#include "platform/replacement_file.h"

namespace zcli {

RunIdentity RunIdentity::of(const ZARezodudParams& params, const std::string& phase) {
  return RunIdentity{params.productName(), params.DBname(), params.DBServer(), params.configFile(), phase};
}

bool RunIdentity::operator==(const RunIdentity& other) const {
  return product == other.product && database == other.database && server == other.server &&
         configFile == other.configFile && phase == other.phase;
}

std::string RunIdentity::differenceFrom(const RunIdentity& stored) const {
  const auto item = [](const char* name, const std::string& was, const std::string& now) {
    return std::string(name) + ": [" + was + "] now [" + now + "]";
  };
  if (product != stored.product) return item("productName", stored.product, product);
  if (database != stored.database) return item("DBname", stored.database, database);
  if (server != stored.server) return item("DBServer", stored.server, server);
  if (configFile != stored.configFile) return item("configFile", stored.configFile, configFile);
  if (phase != stored.phase) return item("phase", stored.phase, phase);
  return std::string();
}

std::string runStateToJson(const RunState& state) {
  JsonWriter w;
  w.beginObject();
  w.key("version").value(1);
  w.key("status").value(state.status);
  w.key("paramsFile").value(state.paramsFile);
  w.key("overrides").beginArray();
  for (const std::string& item : state.overrides) w.value(item);
  w.endArray();
  w.key("reportFile").value(state.reportFile);
  w.key("backend").value(state.backend);
  w.key("identity").beginObject();
  w.key("product").value(state.identity.product).key("database").value(state.identity.database);
  w.key("server").value(state.identity.server).key("configFile").value(state.identity.configFile);
  w.key("phase").value(state.identity.phase);
  w.endObject();
  w.key("currentScript").value(state.currentScript);
  w.key("currentScriptSha256").value(state.currentScriptSha256);
  w.key("scriptRunning").value(state.scriptRunning);
  w.key("scriptSucceeded").value(state.scriptSucceeded);
  w.key("journalMark").value(state.journalMark);
  w.key("scriptsDone").value(state.scriptsDone);
  w.key("scriptsTotal").value(state.scriptsTotal);
  w.key("updatedAt").value(state.updatedAt);
  w.key("position").value(state.positionXml);
  w.endObject();
  return w.str();
}

bool runStateFromJson(const std::string& text, RunState& state, std::string& error) {
  JsonValue root;
  if (!parseJson(text, root, error)) return false;
  if (root.type != JsonValue::Type::kObject || root.intOr("version", 0) != 1) {
    error = "not a zarezodud state file (version 1 expected)";
    return false;
  }
  const JsonValue* identity = root.find("identity");
  const JsonValue* overrides = root.find("overrides");
  if (identity == nullptr || identity->type != JsonValue::Type::kObject || root.find("position") == nullptr ||
      root.find("paramsFile") == nullptr) {
    error = "incomplete state file (identity, position or paramsFile missing)";
    return false;
  }
  RunState parsed;
  parsed.status = root.stringOr("status", "");
  parsed.paramsFile = root.stringOr("paramsFile", "");
  if (overrides != nullptr && overrides->type == JsonValue::Type::kArray) {
    for (const JsonValue& item : overrides->items) {
      if (item.type == JsonValue::Type::kString) parsed.overrides.push_back(item.text);
    }
  }
  parsed.reportFile = root.stringOr("reportFile", "");
  parsed.backend = root.stringOr("backend", "odbc");
  parsed.identity.product = identity->stringOr("product", "");
  parsed.identity.database = identity->stringOr("database", "");
  parsed.identity.server = identity->stringOr("server", "");
  parsed.identity.configFile = identity->stringOr("configFile", "");
  parsed.identity.phase = identity->stringOr("phase", "");
  parsed.positionXml = root.stringOr("position", "");
  parsed.currentScript = root.stringOr("currentScript", "");
  parsed.currentScriptSha256 = root.stringOr("currentScriptSha256", "");
  const JsonValue* running = root.find("scriptRunning");
  parsed.scriptRunning = running != nullptr && running->type == JsonValue::Type::kBool && running->flag;
  parsed.journalMark = root.intOr("journalMark", -1);
  const JsonValue* succeeded = root.find("scriptSucceeded");
  parsed.scriptSucceeded =
      succeeded != nullptr && succeeded->type == JsonValue::Type::kBool && succeeded->flag;
  parsed.scriptsDone = root.intOr("scriptsDone", 0);
  parsed.scriptsTotal = root.intOr("scriptsTotal", 0);
  parsed.updatedAt = root.intOr("updatedAt", 0);
  state = parsed;
  return true;
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error) {
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  zarezodud::ReplacementFile file;
  if (!file.create(target, ".zarezodud-")) {
    error = "cannot create a temporary file beside [" + path + "]: " + std::strerror(errno);
    return false;
  }
  if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
    error = "cannot write [" + file.path() + "]";
    file.discard();
    return false;
  }
  switch (file.commit()) {
    case zarezodud::ReplacementFile::CommitResult::kDone:
      return true;
    case zarezodud::ReplacementFile::CommitResult::kWriteFailed:
      error = "cannot write [" + path + "] (disk full?)";
      return false;
    case zarezodud::ReplacementFile::CommitResult::kRenameFailed:
      error = "cannot replace [" + path + "]";
      return false;
  }
  return false;
}

bool writeRunState(const std::string& path, RunState& state, std::string& error) {
  state.updatedAt = static_cast<int64_t>(std::time(nullptr));
  return writeFileAtomically(path, runStateToJson(state), error);
}

bool readRunState(const std::string& path, RunState& state, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the state file: " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string reason;
  if (!runStateFromJson(text.str(), state, reason)) {
    error = path + ": " + reason;
    return false;
  }
  return true;
}

}  // namespace zcli
