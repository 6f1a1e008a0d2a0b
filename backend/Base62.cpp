#include "backend/Base62.h"

#include <cmath>
#include <stdexcept>
#include <vector>

std::string Base62Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  size_t start = 0;
  while (start < bytes.size() && bytes[start] == '\0') ++start;
  const size_t remaining = bytes.size() - start;
  if (remaining == 0) return {};

  const auto size = static_cast<size_t>(std::ceil(static_cast<double>(remaining) * std::log(256.0) / std::log(62.0)));
  std::vector<unsigned char> digits(size, 0);
  size_t used = 0;  // positions (from the end) that hold digits so far
  for (size_t i = start; i < bytes.size(); ++i) {
    unsigned carry = static_cast<unsigned char>(bytes[i]);
    size_t covered = 0;
    for (size_t pos = size; pos > 0 && (carry != 0 || covered < used); --pos, ++covered) {
      carry += 256u * digits[pos - 1];
      digits[pos - 1] = static_cast<unsigned char>(carry % 62);
      carry /= 62;
    }
    if (carry != 0) throw std::runtime_error("Non-zero carry");
    used = covered;
  }
  size_t first = 0;
  while (first < size && digits[first] == 0) ++first;
  std::string text;
  text.reserve(size - first);
  for (size_t i = first; i < size; ++i) text.push_back(kAlphabet[digits[i]]);
  return text;
}
