#include "db/product_services.h"

#include <atomic>

#include "db/default_product_services.h"

namespace zarezodud {

namespace {

std::atomic<ProductServices*> g_installed{nullptr};

ProductServices& defaults() {
  static DefaultProductServices services;
  return services;
}

}  // namespace

ProductServices& productServices() {
  ProductServices* installed = g_installed.load();
  return installed != nullptr ? *installed : defaults();
}

ProductServices* setProductServices(ProductServices* services) { return g_installed.exchange(services); }

}  // namespace zarezodud
