// zarezodud products: lists the supported products of a product configuration file and says
// for each whether its section is there.
#include <iostream>
#include <memory>

#include "commands.h"
#include "config/profile_snapshot.h"
#include "config/profile_store.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "platform/fs/regular_file.h"

namespace zcli {

namespace {
struct ProductsOptions {
  std::string productConfig;
};
}  // namespace

Command addProductsCommand(CLI::App& app) {
  auto options = std::make_shared<ProductsOptions>();
  CLI::App* cmd =
      app.add_subcommand("products", "List the supported products of a product configuration file");
  cmd->add_option("--product-config", options->productConfig, "Product configuration file (INI)")->required();
  cmd->footer(
      "Exit codes: 0 every product has its section, 1 a section is missing, 2 unreadable file or no\n"
      "products, 64 usage error.\n"
      "Example:\n  zarezodud products --product-config examples/ProductConfig.ini");
  auto run = [options]() -> int {
    // A missing or unreadable file is a failure of the run, not a usage error.
    std::string error;
    std::string content;
    if (zarezodud::readRegularFile(options->productConfig, content, nullptr, error) !=
        zarezodud::FileReadResult::kRead) {
      printError(options->productConfig + ": cannot read the product configuration file: " + error);
      return kExitFailure;
    }
    // A NUL byte anywhere makes the file unreadable, even where no section lookup reaches it.
    INIFileReader reader;
    reader.setINIFileName(options->productConfig);
    if (zarezodud::findNulLine(options->productConfig) != 0) {
      printError("Product configuration file " + reader.readProblem());
      return kExitFailure;
    }
    ZARezodudParams params;
    params.setProductConfigFile(options->productConfig);
    INIFileProcessor processor(params, 0);
    std::vector<std::string> products;
    std::vector<std::pair<std::string, std::string>> lines;
    {
      LogTap tap;
      products = processor.getSupportedProductList();
      lines = tap.lines();
    }
    if (products.empty()) {
      for (const auto& line : lines) printError(line.second);
      printError(options->productConfig +
                 ": no supported products (section [SupportedProducts] with key ProductName)");
      return kExitFailure;
    }
    bool allPresent = true;
    for (const std::string& name : products) {
      const int found = reader.findSection(name);
      if (found == PROFILE_READ_ERROR) {
        printError("Product configuration file " + reader.readProblem());
        return kExitFailure;
      }
      const bool present = found == PROFILE_SUCCESS;
      allPresent = allPresent && present;
      std::cout << name << "\t" << (present ? "section present" : "section missing") << "\n";
    }
    return allPresent ? kExitSuccess : kExitWarning;
  };
  return Command{cmd, run};
}

}  // namespace zcli
