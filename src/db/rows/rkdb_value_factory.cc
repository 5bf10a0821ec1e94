#include "db/rows/rkdb_value_factory.h"

#include <cctype>

#include "db/rows/rkdb_data_types.h"

namespace zarezodud {
namespace {

// True when text is empty or all digits (the size part of a text code).
bool allDigits(const std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

template <typename T>
bool cloneAs(RKDBDataTypeBase* target, const RKDBDataTypeBase* source) {
  auto* to = dynamic_cast<T*>(target);
  const auto* from = dynamic_cast<const T*>(source);
  if (to == nullptr || from == nullptr) return false;
  to->clone(from);
  return true;
}

}  // namespace

std::unique_ptr<RKDBDataTypeBase> rkdbCreateValue(const std::string& code) {
  if (code.empty()) return nullptr;
  switch (code[0]) {
    case 'i':
      if (code.size() == 1) return std::unique_ptr<RKDBDataTypeBase>(new RKDB_int);
      break;
    case 'b':
    case 'x':
      if (code.size() == 1) return std::unique_ptr<RKDBDataTypeBase>(new RKDB___int64);
      break;
    case 't':
      if (code.size() == 1) return std::unique_ptr<RKDBDataTypeBase>(new RKDB_datetime);
      break;
    case 's':
    case 'u':
      if (allDigits(code, 1)) return std::unique_ptr<RKDBDataTypeBase>(new RKDB_string);
      break;
    default:
      break;
  }
  return nullptr;
}

bool rkdbCloneValue(RKDBDataTypeBase* target, const RKDBDataTypeBase* source) {
  if (target == nullptr || source == nullptr) return false;
  return cloneAs<RKDB_int>(target, source) || cloneAs<RKDB___int64>(target, source) ||
         cloneAs<RKDB_datetime>(target, source) || cloneAs<RKDB_string>(target, source);
}

}  // namespace zarezodud
