#include "download/ZipEntryName.h"

#include <array>
#include <cstdint>

#include "download/TargetPath.h"

namespace {

// Code page 437, bytes 0x80 to 0xFF; the lower half is ASCII.
constexpr std::array<wchar_t, 128> kCp437High{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

std::wstring DecodeCp437(std::string_view raw) {
  std::wstring text;
  text.reserve(raw.size());
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    text.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : kCp437High[byte - 0x80]);
  }
  return text;
}

// Strict UTF-8 to UTF-16: shortest forms only, no surrogates, nothing past U+10FFFF.
std::optional<std::wstring> DecodeUtf8(std::string_view raw) {
  std::wstring text;
  text.reserve(raw.size());
  size_t i = 0;
  while (i < raw.size()) {
    const auto lead = static_cast<unsigned char>(raw[i]);
    if (lead < 0x80) {
      text.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
      return std::nullopt;  // a continuation byte without a lead, or a lead no valid text has
    }
    if (raw.size() - i < length) return std::nullopt;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(raw[i + k]);
      if ((next & 0xC0u) != 0x80u) return std::nullopt;
      value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    if (value >= 0x10000) {
      value -= 0x10000;
      text.push_back(static_cast<wchar_t>(0xD800 + (value >> 10)));
      text.push_back(static_cast<wchar_t>(0xDC00 + (value & 0x3FFu)));
    } else {
      text.push_back(static_cast<wchar_t>(value));
    }
    i += length;
  }
  return text;
}

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

}  // namespace

std::optional<std::wstring> DecodeZipEntryName(std::string_view raw, bool utf8) {
  if (utf8) return DecodeUtf8(raw);
  return DecodeCp437(raw);
}

std::optional<ZipEntryTarget> ZipEntryTargetFor(std::wstring_view name) {
  // Absolute and UNC names start with a separator; drive letters and streams need a ':', which
  // IsSafeFileName refuses in any component.
  if (name.empty() || IsSeparator(name.front())) return std::nullopt;
  ZipEntryTarget target;
  target.isDirectory = IsSeparator(name.back());
  size_t start = 0;
  while (start < name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::wstring_view component = name.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == L".") continue;
    if (component == L".." || !IsSafeFileName(component)) return std::nullopt;
    if (!target.relativePath.empty()) target.relativePath.push_back(L'\\');
    target.relativePath.append(component);
  }
  if (target.relativePath.empty() && !target.isDirectory) return std::nullopt;
  return target;
}
