#include "locale/Placeholders.h"

#include <cstdint>
#include <set>
#include <vector>

namespace {

// The names whose expansion produced a piece of text.
using Origin = std::set<std::string>;

// Expands the value of `key` from the unexpanded values in `original`.
//
// The value is scanned left to right: at the next "{" that has a later "}", the text between
// them is a name. A name the table has is replaced by that entry's value and the scan goes on at
// the position where the "{" was, so inserted text (and whatever it forms with the text after
// it) is scanned as well. A name the table lacks is skipped: the scan goes on after the "}".
//
// Cutting cycles: every character remembers the set of names whose expansion produced it (its
// origin); the key's own value starts with the origin {key}. A reference whose name is already in
// the origin of any character of the reference ("{", name or "}") would re-enter a value that is
// still being expanded, so it is left as written (braces and name) and the scan goes on after its
// "}". Inserted text gets the origin of the reference plus the inserted name. Origins only grow
// along a chain of insertions and are bounded by the table's keys, so the expansion always ends;
// every reference that does not close a cycle expands as the plain scan would expand it.
std::string ExpandValue(const std::map<std::string, std::string>& original, const std::string& key) {
  std::vector<Origin> origins{Origin{key}};
  std::string text = original.at(key);
  std::vector<std::uint32_t> originOf(text.size(), 0);  // index into origins, per character

  size_t position = 0;
  while (true) {
    const size_t open = text.find('{', position);
    if (open == std::string::npos) break;
    const size_t close = text.find('}', open + 1);
    if (close == std::string::npos) break;
    const std::string name = text.substr(open + 1, close - open - 1);
    const auto entry = original.find(name);
    if (entry == original.end()) {
      position = close + 1;
      continue;
    }
    Origin origin;
    for (size_t i = open; i <= close; ++i) {
      const Origin& part = origins[originOf[i]];
      origin.insert(part.begin(), part.end());
    }
    if (origin.count(name) != 0) {
      position = close + 1;  // a cycle: the reference stays as written
      continue;
    }
    origin.insert(name);
    origins.push_back(std::move(origin));
    const auto insertedOrigin = static_cast<std::uint32_t>(origins.size() - 1);

    const std::string& value = entry->second;
    text.replace(open, close - open + 1, value);
    originOf.erase(originOf.begin() + static_cast<std::ptrdiff_t>(open),
                   originOf.begin() + static_cast<std::ptrdiff_t>(close + 1));
    originOf.insert(originOf.begin() + static_cast<std::ptrdiff_t>(open), value.size(), insertedOrigin);
    position = open;
  }
  return text;
}

}  // namespace

void ExpandPlaceholders(std::map<std::string, std::string>& table) {
  // Every value is expanded from the values as loaded, so the result of a key does not depend
  // on which keys were expanded before it.
  const std::map<std::string, std::string> original = table;
  for (auto& [key, value] : table) value = ExpandValue(original, key);
}
