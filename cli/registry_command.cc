// zarezodud registry get|set|list: reads and writes values of the platform registry of one
// product instance (the current focus, or --focus NAME).
#include <iostream>
#include <memory>

#include "commands.h"
#include "json_writer.h"
#include "platform/registry/rk_platform_info.h"

namespace zcli {

namespace {

struct RegistryOptions {
  std::string focus;
  bool focusGiven = false;
  std::string key;
  std::string value;
  std::string text;
  unsigned long long number = 0;
};

void applyFocus(zarezodud::RKPlatformInfo& registry, const RegistryOptions& options) {
  if (options.focusGiven) registry.setFocus(options.focus.c_str());
}

std::string shown(const zarezodud::RegistryValue& value) {
  if (value.type == zarezodud::RegistryValue::Type::kNumber) return std::to_string(value.number);
  return value.text;
}

int runGet(const RegistryOptions& options) {
  zarezodud::RKPlatformInfo registry;
  applyFocus(registry, options);
  std::vector<zarezodud::RegistryEntry> entries;
  if (!registry.listValues(options.key.c_str(), &entries)) {
    printError(registry.getFilePath() + ": " + registry.getLastErrorMsg());
    return kExitFailure;
  }
  for (const auto& entry : entries) {
    if (entry.keyPath == options.key && entry.valueName == options.value) {
      std::cout << shown(entry.value) << "\n";
      return kExitSuccess;
    }
  }
  printError(registry.getFilePath() + ": no value [" + options.value + "] under key [" + options.key +
             "] of focus [" + registry.getFocus() + "]. List the key with: zarezodud registry list \"" +
             options.key + "\"");
  return kExitFailure;
}

int runSet(const RegistryOptions& options, bool isString) {
  zarezodud::RKPlatformInfo registry;
  applyFocus(registry, options);
  const int stored = isString
                         ? registry.setString(options.key.c_str(), options.value.c_str(), options.text)
                         : registry.setNumber(options.key.c_str(), options.value.c_str(), options.number);
  if (!stored) {
    printError(registry.getFilePath() + ": " + registry.getLastErrorMsg());
    return kExitFailure;
  }
  return kExitSuccess;
}

int runList(const RegistryOptions& options, bool keyGiven) {
  zarezodud::RKPlatformInfo registry;
  applyFocus(registry, options);
  std::vector<zarezodud::RegistryEntry> entries;
  if (!registry.listValues(keyGiven ? options.key.c_str() : nullptr, &entries)) {
    printError(registry.getFilePath() + ": " + registry.getLastErrorMsg());
    return kExitFailure;
  }
  for (const auto& entry : entries) {
    const bool number = entry.value.type == zarezodud::RegistryValue::Type::kNumber;
    std::cout << entry.keyPath << "\t" << entry.valueName << "\t" << (number ? "number" : "string") << "\t"
              << (number ? std::to_string(entry.value.number) : JsonWriter::quote(entry.value.text)) << "\n";
  }
  return kExitSuccess;
}

}  // namespace

Command addRegistryCommand(CLI::App& app) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App* cmd = app.add_subcommand("registry", "Read and write platform registry values");
  cmd->require_subcommand(1);
  cmd->footer(
      "The registry lives under ZAREZODUD_REGISTRY_DIR (default /etc/zarezodud/registry), one file\n"
      "per instance; the focus is ZAREZODUD_INSTANCE or \"default\" unless --focus is given.\n"
      "Exit codes: 0 success, 2 failure (value missing, file unwritable), 64 usage error.");
  const auto addFocus = [options](CLI::App* sub) {
    sub->add_option("--focus", options->focus, "Instance (focus) to address")
        ->each([options](const std::string&) { options->focusGiven = true; });
  };

  CLI::App* get = cmd->add_subcommand("get", "Print one value");
  get->add_option("KEY", options->key, "Key path")->required();
  get->add_option("VALUE", options->value, "Value name")->required();
  addFocus(get);
  get->footer("Example:\n  zarezodud registry get Database nSQLAuthType");

  CLI::App* set = cmd->add_subcommand("set", "Store one value");
  set->add_option("KEY", options->key, "Key path")->required();
  set->add_option("VALUE", options->value, "Value name")->required();
  CLI::Option* text = set->add_option("--string", options->text, "Store this text");
  CLI::Option* number = set->add_option("--number", options->number, "Store this unsigned number");
  text->excludes(number);
  number->excludes(text);
  addFocus(set);
  set->footer(
      "Exactly one of --string and --number.\nExample:\n  zarezodud registry set Database nDBdumpsDaysOlder "
      "--number 14");

  CLI::App* list = cmd->add_subcommand("list", "List the values under a key, or all values");
  CLI::Option* key = list->add_option("KEY", options->key, "Key path (all keys when omitted)");
  addFocus(list);
  list->footer(
      "Output: key, value name, type and value (strings quoted), tab-separated.\n"
      "Example:\n  zarezodud registry list Database --focus Instance001");

  auto run = [options, cmd, get, set, list, text, number, key]() -> int {
    if (get->parsed()) return runGet(*options);
    if (set->parsed()) {
      if (text->count() + number->count() != 1) {
        printError("registry set needs exactly one of --string TEXT and --number N (see --help)");
        return kExitUsage;
      }
      return runSet(*options, text->count() == 1);
    }
    if (list->parsed()) return runList(*options, key->count() > 0);
    std::cout << cmd->help();
    return kExitUsage;
  };
  return Command{cmd, run};
}

}  // namespace zcli
