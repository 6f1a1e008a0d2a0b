#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// SHA-256 of a stream of bytes, given in pieces of any size.
class Sha256 {
 public:
  void Update(std::string_view bytes);
  // 64 lowercase hexadecimal characters of everything given so far.
  std::string HexDigest() const;

 private:
  std::array<uint32_t, 8> m_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<unsigned char, 64> m_block{};
  size_t m_buffered = 0;
  uint64_t m_length = 0;
};

// SHA-256 of the bytes as 64 lowercase hexadecimal characters.
std::string Sha256Hex(std::string_view bytes);
