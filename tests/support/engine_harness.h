// EngineHarness: what an engine test needs to run phases and SQL lists without a server. It
// holds a private registry, the scripted connection double, a private temporary output
// directory, a fixed ODBC driver name, a phase tree with a product configuration for the
// product "Corehub", and makes parameters that reach the database in the direct form
// (instance, database, user and password given). Construct it before the processor under test
// so that the processor's database object uses the double. Not thread-safe; one per test.
#ifndef ZAREZODUD_TESTS_SUPPORT_ENGINE_HARNESS_H
#define ZAREZODUD_TESTS_SUPPORT_ENGINE_HARNESS_H

#include <memory>
#include <string>
#include <vector>

#include "engine/ini_file_processor.h"
#include "support/env_override.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/temp_dir.h"

namespace ztest {

class EngineHarness {
 public:
  EngineHarness();

  // The phase tree's parameters plus the product and database fields of the direct form.
  ZARezodudParams params() const;
  // A processor over params() (or the given parameters).
  std::unique_ptr<INIFileProcessor> processor(int progressFlag = 0) const;
  std::unique_ptr<INIFileProcessor> processor(const ZARezodudParams& p, int progressFlag = 0) const;

  ConnectionScript& script() { return fake_.script(); }
  PhaseTree& tree() { return tree_; }
  const UpgradeLogCapture& log() const { return log_; }
  // Directory of phase directory "name" (config/<name>) as the engine forms it.
  std::string phaseDir(const std::string& name) const { return tree_.path("config/" + name); }

  // The entries of the scripts sent to the server, in order. Scripts written by
  // PhaseTree::addList end with "-- <entry>", which is what is returned.
  std::vector<std::string> executed();
  std::string phaseLog() const { return readFile(tree_.path("logs/phase.log")); }
  std::string failedLog() const { return readFile(tree_.path("logs/failed.log")); }
  std::string outputFile() const { return output_.file("tempOutputFile.txt"); }

 private:
  RegistrySandbox registry_;
  EnvOverride driver_;
  TempDir output_;
  EnvOverride outputDir_;
  ScopedScriptedConnections fake_;
  PhaseTree tree_;
  UpgradeLogCapture log_;
};

}  // namespace ztest

#endif
