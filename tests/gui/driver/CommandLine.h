#pragma once
// Splits one input line of the driver into words.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace uidriver {

// Words are separated by blanks; a "double quoted" word may hold blanks (even trailing ones) and the escapes
// \" and \\. Returns nothing for an unterminated quote.
std::optional<std::vector<std::string>> SplitWords(std::string_view line);

}  // namespace uidriver
