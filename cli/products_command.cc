// zarezodud products: lists the supported products of a product configuration file and says
// for each whether its section is there.
#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/ini_file_processor.h"

namespace zcli {

namespace {
struct ProductsOptions {
  std::string productConfig;
};
}  // namespace

Command addProductsCommand(CLI::App& app) {
  auto options = std::make_shared<ProductsOptions>();
  CLI::App* cmd = app.add_subcommand("products", "List the supported products of a product configuration file");
  cmd->add_option("--product-config", options->productConfig, "Product configuration file (INI)")
      ->required()
      ->check(CLI::ExistingFile);
  cmd->footer("Example:\n  zarezodud products --product-config examples/ProductConfig.ini");
  auto run = [options]() -> int {
    ZARezodudParams params;
    params.setProductConfigFile(options->productConfig);
    INIFileProcessor processor(params, 0);
    const std::vector<std::string> products = processor.getSupportedProductList();
    if (products.empty()) {
      std::cerr << "zarezodud: " << options->productConfig
                << ": no supported products (section [SupportedProducts] with key ProductName)\n";
      return kExitFailure;
    }
    INIFileReader reader;
    reader.setINIFileName(options->productConfig);
    bool allPresent = true;
    for (const std::string& name : products) {
      const bool present = reader.sectionExists(name);
      allPresent = allPresent && present;
      std::cout << name << "\t" << (present ? "section present" : "section missing") << "\n";
    }
    return allPresent ? kExitSuccess : kExitWarning;
  };
  return Command{cmd, run};
}

}  // namespace zcli
