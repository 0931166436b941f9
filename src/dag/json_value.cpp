#include "dag/json_value.h"

#include <algorithm>

namespace tolva {
namespace {


void write_string(std::string_view text, std::string& out) {
  out += '"';
  out += escape_json(text);
  out += '"';
}

}  // namespace

std::string escape_json(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::string to_json(const JsonValue& value) {
  std::string out;
  std::visit(
      [&](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out = "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          out = held ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
          out = std::to_string(held);
        } else if constexpr (std::is_same_v<T, std::string>) {
          write_string(held, out);
        } else if constexpr (std::is_same_v<T, JsonValue::Array>) {
          out += '[';
          for (std::size_t i = 0; i < held.size(); ++i) {
            if (i > 0) out += ',';
            out += to_json(held[i]);
          }
          out += ']';
        } else {
          std::vector<const std::pair<std::string, JsonValue>*> entries;
          for (const auto& entry : held.entries) entries.push_back(&entry);
          std::stable_sort(entries.begin(), entries.end(),
                           [](const auto* a, const auto* b) { return a->first < b->first; });
          out += '{';
          for (std::size_t i = 0; i < entries.size(); ++i) {
            if (i > 0) out += ',';
            write_string(entries[i]->first, out);
            out += ':';
            out += to_json(entries[i]->second);
          }
          out += '}';
        }
      },
      value.value_);
  return out;
}

}  // namespace tolva
