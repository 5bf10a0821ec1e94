#include "script_events.h"

#include <algorithm>
#include <cstdio>

#include "log/result_messages.h"

namespace zcli {

ListOutcome& ScriptEventRecorder::listFor(const std::string& phase, const std::string& list) {
  if (m_lists.empty() || m_lists.back().phase != phase || m_lists.back().list != list) {
    m_lists.push_back(ListOutcome{phase, list, {}});
  }
  return m_lists.back();
}

void ScriptEventRecorder::onScriptStart(const std::string& phase, const std::string& list,
                                        const std::string& scriptPath) {
  ScriptOutcome outcome;
  outcome.path = scriptPath;
  outcome.listed = m_listing;
  listFor(phase, list).scripts.push_back(outcome);
}

void ScriptEventRecorder::onEntryListed(const std::string& phase, const std::string& list,
                                        const std::string& entryPath) {
  m_listing = true;
  ScriptObserver::onEntryListed(phase, list, entryPath);
  m_listing = false;
}

void ScriptEventRecorder::onScriptEnd(const std::string& phase, const std::string& list,
                                      const std::string& scriptPath, int code, bool succeeded,
                                      double seconds) {
  ListOutcome& group = listFor(phase, list);
  if (group.scripts.empty() || group.scripts.back().path != scriptPath || group.scripts.back().ended) {
    ScriptOutcome outcome;
    outcome.path = scriptPath;
    group.scripts.push_back(outcome);
  }
  ScriptOutcome& outcome = group.scripts.back();
  outcome.ended = true;
  outcome.succeeded = succeeded;
  outcome.code = code;
  outcome.seconds = seconds;
}

void ScriptEventRecorder::onScriptSkipped(const std::string& phase, const std::string& list,
                                          const std::string& scriptPath, const std::string& reason) {
  ScriptOutcome outcome;
  outcome.path = scriptPath;
  outcome.skipped = true;
  outcome.reason = reason;
  listFor(phase, list).scripts.push_back(outcome);
}

void ScriptEventRecorder::onScriptDoneEarlier(const std::string& phase, const std::string& list,
                                              const std::string& scriptPath, int code) {
  ScriptOutcome outcome;
  outcome.path = scriptPath;
  outcome.skipped = true;
  outcome.earlier = true;
  outcome.reason = "finished in an earlier run";
  outcome.code = code;
  listFor(phase, list).scripts.push_back(outcome);
}

void ScriptEventRecorder::onPositionChanged(const RKZARezodud::ProcessPhase& record) {
  // The innermost record names the phase and list being worked on.
  const RKZARezodud::ProcessPhase* inner = &record;
  while (inner->getStage() == 2 && inner->getSubModule() != nullptr) inner = inner->getSubModule();
  const std::string list = inner->getCurrentListFile();
  if (!list.empty()) listFor(inner->getPhaseName(), list);
}

std::vector<std::string> ScriptEventRecorder::phases() const {
  std::vector<std::string> names;
  for (const ListOutcome& group : m_lists) {
    if (std::find(names.begin(), names.end(), group.phase) == names.end()) names.push_back(group.phase);
  }
  return names;
}

int ScriptEventRecorder::ranCount() const {
  int n = 0;
  for (const ListOutcome& group : m_lists) {
    for (const ScriptOutcome& s : group.scripts) n += (s.skipped || s.listed) ? 0 : 1;
  }
  return n;
}

int ScriptEventRecorder::listedCount() const {
  int n = 0;
  for (const ListOutcome& group : m_lists) {
    for (const ScriptOutcome& s : group.scripts) n += s.listed ? 1 : 0;
  }
  return n;
}

int ScriptEventRecorder::skippedCount() const {
  int n = 0;
  for (const ListOutcome& group : m_lists) {
    for (const ScriptOutcome& s : group.scripts) n += (s.skipped && !s.earlier) ? 1 : 0;
  }
  return n;
}

int ScriptEventRecorder::earlierCount() const {
  int n = 0;
  for (const ListOutcome& group : m_lists) {
    for (const ScriptOutcome& s : group.scripts) n += s.earlier ? 1 : 0;
  }
  return n;
}

int ScriptEventRecorder::failedCount() const {
  int n = 0;
  for (const ListOutcome& group : m_lists) {
    for (const ScriptOutcome& s : group.scripts) {
      n += (!s.skipped && !s.listed && s.ended && !s.succeeded) ? 1 : 0;
    }
  }
  return n;
}

void ScriptEventRecorder::writeJson(JsonWriter& writer) const {
  writer.key("phases").beginArray();
  for (const std::string& phase : phases()) writer.value(phase);
  writer.endArray();
  writer.key("lists").beginArray();
  double seconds = 0;
  for (const ListOutcome& group : m_lists) {
    writer.beginObject().key("phase").value(group.phase).key("list").value(group.list);
    writer.key("scripts").beginArray();
    for (const ScriptOutcome& s : group.scripts) {
      writer.beginObject().key("script").value(s.path);
      if (s.skipped) {
        writer.key("action").value("skip").key("reason").value(s.reason);
        if (s.earlier) writer.key("code").value(s.code);
      } else if (s.listed) {
        // Listed and logged only: nothing was started, so nothing succeeded or failed.
        writer.key("action").value("listed");
      } else {
        writer.key("action").value("run");
        if (s.ended) {
          writer.key("succeeded")
              .value(s.succeeded)
              .key("code")
              .value(s.code)
              .key("seconds")
              .value(s.seconds);
          seconds += s.seconds;
        } else {
          writer.key("interrupted").value(true);
        }
      }
      writer.endObject();
    }
    writer.endArray().endObject();
  }
  writer.endArray();
  writer.key("totals").beginObject();
  writer.key("run").value(ranCount()).key("skipped").value(skippedCount()).key("failed").value(failedCount());
  writer.key("earlier").value(earlierCount());
  writer.key("listed").value(listedCount());
  writer.key("seconds").value(seconds);
  writer.endObject();
}

std::string ScriptEventRecorder::text() const {
  std::string out;
  std::string phase;
  bool first = true;
  for (const ListOutcome& group : m_lists) {
    if (first || group.phase != phase) {
      out += "phase " + group.phase + "\n";
      phase = group.phase;
      first = false;
    }
    out += "  list " + group.list + "\n";
    for (const ScriptOutcome& s : group.scripts) {
      if (s.skipped) {
        out += "    skip " + s.path + " (" + s.reason + ")\n";
      } else if (s.listed) {
        out += "    listed " + s.path + " (not started)\n";
      } else {
        out += "    run  " + s.path + "\n";
      }
    }
  }
  char totals[96];
  std::snprintf(totals, sizeof totals, "%d script(s) to run, %d skipped\n", ranCount(), skippedCount());
  out += totals;
  return out;
}

}  // namespace zcli
