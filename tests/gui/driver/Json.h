#pragma once
// A small JSON writer: the driver only ever produces objects, arrays, strings, numbers and booleans.
#include <cstdint>
#include <string>
#include <string_view>

namespace uidriver {

// Builds one JSON object member by member; strings are UTF-8 (or wide, converted to UTF-8).
class JsonObject {
 public:
  JsonObject& String(std::string_view key, std::string_view utf8);
  JsonObject& String(std::string_view key, std::wstring_view text);
  JsonObject& Int(std::string_view key, std::int64_t value);
  JsonObject& Bool(std::string_view key, bool value);
  JsonObject& Raw(std::string_view key, std::string_view json);  // an already written value
  std::string Str() const { return "{" + m_members + "}"; }
  bool Empty() const { return m_members.empty(); }

 private:
  void Key(std::string_view key);
  std::string m_members;
};

// Builds one JSON array element by element.
class JsonArray {
 public:
  JsonArray& Add(const JsonObject& object) { return Raw(object.Str()); }
  JsonArray& String(std::wstring_view text);
  JsonArray& Raw(std::string_view json);
  std::string Str() const { return "[" + m_elements + "]"; }

 private:
  std::string m_elements;
};

// "text" with JSON escapes; the input is UTF-8.
std::string JsonQuote(std::string_view utf8);

}  // namespace uidriver
