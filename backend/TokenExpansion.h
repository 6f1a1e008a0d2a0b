#pragma once
// The "{name}" expander of offer texts and folder rules: a table of names and values, applied in
// its order. Each "{name}" of the text is replaced by its value in one left-to-right pass per
// entry; the inserted value is not searched again for the same name, but later entries do see it
// (so a value may name a later entry, as "{commonpf}" becomes "{commonpf64}" and then a folder).
// Names the table does not have stay as written.
#include <string>
#include <utility>
#include <vector>

template <typename String>
String ExpandTokens(String text, const std::vector<std::pair<String, String>>& table) {
  using Char = typename String::value_type;
  for (const auto& [name, value] : table) {
    String pattern;
    pattern.reserve(name.size() + 2);
    pattern.push_back(Char('{'));
    pattern.append(name);
    pattern.push_back(Char('}'));
    String result;
    size_t from = 0;
    for (size_t at; (at = text.find(pattern, from)) != String::npos; from = at + pattern.size()) {
      result.append(text, from, at - from).append(value);
    }
    result.append(text, from, String::npos);
    text = std::move(result);
  }
  return text;
}
