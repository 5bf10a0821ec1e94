#include "support/json_document.h"

#include <nlohmann/json.hpp>

namespace zcli {

namespace {

constexpr int kMaxDepth = 64;

// Builds the tree as nlohmann's SAX interface reports it, so members keep their order and
// duplicates, and the depth is known at every step.
class TreeBuilder : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit TreeBuilder(JsonValue& root) : root_(root) {}

  bool null() override { return put(JsonValue()); }
  bool boolean(bool value) override {
    JsonValue v;
    v.type = JsonValue::Type::kBool;
    v.flag = value;
    return put(std::move(v));
  }
  bool number_integer(number_integer_t value) override { return number(static_cast<double>(value)); }
  bool number_unsigned(number_unsigned_t value) override { return number(static_cast<double>(value)); }
  bool number_float(number_float_t value, const string_t&) override { return number(value); }
  bool string(string_t& value) override {
    JsonValue v;
    v.type = JsonValue::Type::kString;
    v.text = value;
    return put(std::move(v));
  }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return open(JsonValue::Type::kObject); }
  bool key(string_t& name) override {
    pendingKey_ = name;
    return true;
  }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(JsonValue::Type::kArray); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    error_ = e.what();
    return false;
  }

  const std::string& error() const { return error_; }

 private:
  bool number(double value) {
    JsonValue v;
    v.type = JsonValue::Type::kNumber;
    v.number = value;
    return put(std::move(v));
  }
  // Places v in the innermost open container (or as the root) and returns where it went.
  JsonValue* place(JsonValue v) {
    if (stack_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    JsonValue& parent = *stack_.back();
    if (parent.type == JsonValue::Type::kArray) {
      parent.items.push_back(std::move(v));
      return &parent.items.back();
    }
    parent.members.emplace_back(pendingKey_, std::move(v));
    return &parent.members.back().second;
  }
  bool put(JsonValue v) {
    place(std::move(v));
    return true;
  }
  bool open(JsonValue::Type type) {
    if (static_cast<int>(stack_.size()) >= kMaxDepth) {
      error_ = "nesting too deep (more than 64 levels)";
      return false;
    }
    JsonValue v;
    v.type = type;
    stack_.push_back(place(std::move(v)));
    return true;
  }
  bool close() {
    stack_.pop_back();
    return true;
  }

  JsonValue& root_;
  std::vector<JsonValue*> stack_;  // the open containers; pointers stay valid until closed
  std::string pendingKey_;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& name) const {
  if (type != Type::kObject) return nullptr;
  for (const auto& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

std::string JsonValue::stringOr(const std::string& name, const std::string& fallback) const {
  const JsonValue* v = find(name);
  return v != nullptr && v->type == Type::kString ? v->text : fallback;
}

int64_t JsonValue::intOr(const std::string& name, int64_t fallback) const {
  const JsonValue* v = find(name);
  return v != nullptr && v->type == Type::kNumber ? static_cast<int64_t>(v->number) : fallback;
}

bool parseJson(const std::string& text, JsonValue& out, std::string& error) {
  JsonValue root;
  TreeBuilder builder(root);
  const bool parsed = nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, true);
  if (!parsed) {
    error = builder.error().empty() ? "malformed JSON" : builder.error();
    return false;
  }
  out = std::move(root);
  return true;
}

}  // namespace zcli
