#include "Json.h"

#include <cstdio>

#include "Text.h"

namespace uidriver {

std::string JsonQuote(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void JsonObject::Key(std::string_view key) {
  if (!m_members.empty()) m_members += ',';
  m_members += JsonQuote(key);
  m_members += ':';
}

JsonObject& JsonObject::String(std::string_view key, std::string_view utf8) {
  Key(key);
  m_members += JsonQuote(utf8);
  return *this;
}

JsonObject& JsonObject::String(std::string_view key, std::wstring_view text) {
  return String(key, ToUtf8(text));
}

JsonObject& JsonObject::Int(std::string_view key, std::int64_t value) {
  Key(key);
  m_members += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
  Key(key);
  m_members += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
  Key(key);
  m_members += json;
  return *this;
}

JsonArray& JsonArray::String(std::wstring_view text) { return Raw(JsonQuote(ToUtf8(text))); }

JsonArray& JsonArray::Raw(std::string_view json) {
  if (!m_elements.empty()) m_elements += ',';
  m_elements += json;
  return *this;
}

}  // namespace uidriver
