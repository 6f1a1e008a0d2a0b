#pragma once
#include <string>
#include <string_view>

// Base-62 text of the bytes read as one big-endian number ("0-9a-zA-Z"); leading zero bytes are
// not represented. Throws std::runtime_error("Non-zero carry") if the digit buffer overflows.
std::string Base62Encode(std::string_view bytes);
