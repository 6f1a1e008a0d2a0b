#pragma once
// Expansion of {KEY} references inside the values of a locale table.
#include <map>
#include <string>

// Replaces every {NAME} reference whose NAME is a key of `table` with that key's value, expanding
// the inserted text as well (nested references). A reference to a name the table does not have
// stays as written, and so does a "{" without a later "}". A reference that would re-enter a value
// it was produced from (a reference cycle) stays as written; see Placeholders.cpp.
void ExpandPlaceholders(std::map<std::string, std::string>& table);
