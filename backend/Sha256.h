#pragma once
#include <string>
#include <string_view>

// SHA-256 of the bytes as 64 lowercase hexadecimal characters.
std::string Sha256Hex(std::string_view bytes);
