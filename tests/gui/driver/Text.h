#pragma once
// Text conversions and number parsing for the command line of the driver.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace uidriver {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view utf8);

// Decimal, or hexadecimal with a 0x prefix; nothing else may follow the digits.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);
std::optional<std::int64_t> ParseSigned(std::string_view text);

}  // namespace uidriver
