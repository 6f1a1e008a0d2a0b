#pragma once
// Integer fields read from JSON numbers of the configuration. A number outside the field's range is
// clamped to it (1e10 offers means as many as there are; 1e19 MiB of disk is more than any machine
// has), since converting such a value straight to an integer type is undefined; fractions within
// the range are cut towards zero. Anything that is not a number is left to the JSON library's own
// typed read (and its exceptions).
#include <cmath>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

template <typename T>
T ClampedNumber(const nlohmann::json& value) {
  constexpr T lowest = std::numeric_limits<T>::min();
  constexpr T highest = std::numeric_limits<T>::max();
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (std::isnan(number)) return 0;
    // max() may not be exact as a double (2^63 - 1 rounds up to 2^63): compare with what it rounds to.
    if (number >= static_cast<double>(highest)) return highest;
    if (number <= static_cast<double>(lowest)) return lowest;
    return static_cast<T>(number);
  }
  if (value.is_number_unsigned()) {
    const uint64_t number = value.get<uint64_t>();
    return number > static_cast<uint64_t>(highest) ? highest : static_cast<T>(number);
  }
  if (value.is_number_integer()) {
    const int64_t number = value.get<int64_t>();
    if (number > static_cast<int64_t>(highest)) return highest;
    if (number < static_cast<int64_t>(lowest)) return lowest;
    return static_cast<T>(number);
  }
  return value.get<T>();
}
