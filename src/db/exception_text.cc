#include "db/exception_text.h"

#include <exception>

namespace zarezodud {

std::string currentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace zarezodud
